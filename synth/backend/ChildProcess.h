#pragma once
// Runs a program with an argument vector (never a shell), hands it its input on a pipe and
// streams its standard output back, bounded in time and killed on cancel.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace synth {

struct ChildResult {
    enum Outcome { Exited, Signalled, TimedOut, Cancelled, CannotStart } outcome = CannotStart;
    int exitCode = -1;
};

// Starts argv[0] with `input` on its standard input (then closed), standard error
// discarded, and every other descriptor closed. `onOutput` gets its standard output as it
// arrives. `cancelled` is polled every 5 ms; when it turns true, or `limit` passes, the
// child is killed. The child has always been reaped when this returns.
ChildResult runChild(const std::vector<std::string>& argv, std::string_view input,
                     const std::function<void(const char*, std::size_t)>& onOutput,
                     const std::function<bool()>& cancelled, std::chrono::milliseconds limit);

}  // namespace synth
