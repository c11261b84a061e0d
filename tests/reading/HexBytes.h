#pragma once
// Byte strings as upper-case hex ("A1A1"), for readable expectations on encoded text.

#include <cstdio>
#include <string>

inline std::string Hex(const std::string& bytes) {
    std::string s;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
    }
    return s;
}
