#pragma once
// The program's lines on stderr, in one voice: "selvarine: " and the message. Errors are
// always said; details (which voice speaks, why an engine is unavailable, which limits of the
// desktop apply) only when SELVARINE_VERBOSE is set. Any thread; never throws.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace diag {

enum class Level { Error, Detail };

inline bool Verbose() { return std::getenv("SELVARINE_VERBOSE") != nullptr; }

// The wall clock in milliseconds, for detail lines that time the stages of one reading: the
// same clock in the command line's process and the toolbar's, so their lines line up.
inline double WallMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// One line, printf-style, without the trailing newline.
__attribute__((format(printf, 2, 3))) inline void Say(Level level, const char* format, ...) {
    if (level == Level::Detail && !Verbose()) return;
    char line[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // One write, so lines of two threads never interleave.
    std::fprintf(stderr, "selvarine: %s\n", line);
}

// A line that names its program already (start-up lines the dictionary editor shares), as it is.
inline void SayAsIs(Level level, const char* line) {
    if (level == Level::Detail && !Verbose()) return;
    std::fprintf(stderr, "%s\n", line);
}

}  // namespace diag
