#pragma once
// The program's lines on stderr, in one voice: "selvarine: " and the message. Errors are
// always said; details (which voice speaks, why an engine is unavailable, which limits of the
// desktop apply) only when SELVARINE_VERBOSE is set. Any thread; never throws.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace diag {

// Timing: the stages of each reading (the command line's request, the bus, the selection
// sources, the first audio), said only under SELVARINE_VERBOSE=timing, which also stamps every
// line with the wall clock: the same clock in the command line's process and the toolbar's,
// so their lines line up.
enum class Level { Error, Detail, Timing };

inline bool Verbose() { return std::getenv("SELVARINE_VERBOSE") != nullptr; }
inline bool Timing() {
    const char* verbose = std::getenv("SELVARINE_VERBOSE");
    return verbose && std::strcmp(verbose, "timing") == 0;
}

// The wall clock in milliseconds.
inline double WallMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// One line, printf-style, without the trailing newline.
__attribute__((format(printf, 2, 3))) inline void Say(Level level, const char* format, ...) {
    if (level == Level::Detail && !Verbose()) return;
    const bool timing = Timing();
    if (level == Level::Timing && !timing) return;
    char line[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // One write, so lines of two threads never interleave.
    if (timing)
        std::fprintf(stderr, "selvarine: at %.1f ms: %s\n", WallMs(), line);
    else
        std::fprintf(stderr, "selvarine: %s\n", line);
}

// A line that names its program already (start-up lines the dictionary editor shares), as it is.
inline void SayAsIs(Level level, const char* line) {
    if ((level == Level::Detail && !Verbose()) || (level == Level::Timing && !Timing())) return;
    std::fprintf(stderr, "%s\n", line);
}

}  // namespace diag
