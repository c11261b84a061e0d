#pragma once
// What a fuzz target gives the regression driver (FuzzDriver.cpp): its entry point and the
// pieces its generated inputs are made of. libFuzzer builds (scripts/fuzz-*) ignore the
// fragments.

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern const std::string_view kFuzzFragments[];
extern const std::size_t kFuzzFragmentCount;
