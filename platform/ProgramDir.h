#pragma once

#include <string>

namespace platform {

// The directory holding the running program file, always ending with '/'. Engine
// directories, dictionaries and tools are found by appending relative paths to it.
// Empty only when the program file cannot be found at all.
std::string ProgramDirectory();

}  // namespace platform
