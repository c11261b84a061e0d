// Writes the tests' tiny voice into the folder given (made if missing), for the desktop tests.

#include <cstdio>
#include <filesystem>

#include "TinyVitsModel.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_tiny_voice FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    tiny_vits::write(argv[1]);
    return 0;
}
