// Runs a libFuzzer target without libFuzzer, for a short regression pass in CTest: the files
// given on the command line, then FUZZ_RUNS pseudo-random inputs pieced together from the
// target's fragments (kFuzzFragments) and random bytes, at most FUZZ_PIECES pieces each.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzDriver.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    const char* env = std::getenv("FUZZ_RUNS");
    const long runs = env ? std::atol(env) : 100000;
    const char* piecesEnv = std::getenv("FUZZ_PIECES");
    const long maxPieces = piecesEnv && std::atol(piecesEnv) > 0 ? std::atol(piecesEnv) : 12;
    std::mt19937 rng(12345);
    std::string input;
    for (long r = 0; r < runs; ++r) {
        input.clear();
        for (long pieces = 1 + static_cast<long>(rng() % maxPieces); pieces > 0; --pieces) {
            if (rng() % 3 == 0)
                input.push_back(static_cast<char>(rng() % 256));
            else
                input += kFuzzFragments[rng() % kFuzzFragmentCount];
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    std::printf("fuzz driver: %d files, %ld generated inputs\n", argc - 1, runs);
    return 0;
}
