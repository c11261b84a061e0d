// Runs the fuzz target without libFuzzer: the files given on the command line, then a fixed
// number of pseudo-random inputs biased towards lead bytes and the remapped ranges.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    const char* env = std::getenv("QZ_FUZZ_RUNS");
    const long runs = env ? std::atol(env) : 200000;
    std::mt19937 rng(12345);
    static const std::uint8_t interesting[] = {0x00, 0x40, 0x7F, 0x80, 0x81, 0x9F, 0xA0,
                                               0xA1, 0xDF, 0xE0, 0xED, 0xEE, 0xF0, 0xF2,
                                               0xFA, 0xFB, 0xFC, 0xFD, 0xFF};
    std::vector<std::uint8_t> buf;
    for (long r = 0; r < runs; ++r) {
        buf.resize(1 + rng() % 48);
        for (auto& b : buf) b = rng() % 2 ? interesting[rng() % sizeof interesting] : rng() % 256;
        LLVMFuzzerTestOneInput(buf.data(), buf.size());
    }
    std::printf("qz fuzz driver: %d files, %ld random inputs\n", argc - 1, runs);
    return 0;
}
