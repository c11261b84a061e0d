#pragma once
// Runs a program with an argument vector (never a shell), hands it its input on a pipe and
// streams its standard output back, bounded in time and killed on cancel.

#include <sys/types.h>

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

using ChildOutput = std::function<void(const char*, std::size_t)>;

// A program started before its input is known, so that it loads what it needs while the
// caller is busy; it waits on its standard input until run. Standard error is discarded and
// every other descriptor closed, but for descriptor 3 when `sideOutput` is set: a second
// output (a trace) read beside the first.
class ChildProgram {
  public:
    explicit ChildProgram(const std::vector<std::string>& argv, bool sideOutput = false);
    // A program never run, or abandoned, is killed; it has always been reaped.
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // Once: writes `input` and closes it; the program goes on alone until finish reads it.
    void send(std::string_view input);
    // Hands standard output to `onOutput` and descriptor 3 to `onSide` as they arrive, until
    // the program ends. `cancelled` is polled every 5 ms; when it turns true, or `limit`
    // passes, the program is killed.
    ChildResult finish(const ChildOutput& onOutput, const ChildOutput& onSide,
                       const std::function<bool()>& cancelled, std::chrono::milliseconds limit);
    ChildResult run(std::string_view input, const ChildOutput& onOutput, const ChildOutput& onSide,
                    const std::function<bool()>& cancelled, std::chrono::milliseconds limit) {
        send(input);
        return finish(onOutput, onSide, cancelled, limit);
    }

  private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_side = -1;
};

// Starts the program and runs it at once.
ChildResult runChild(const std::vector<std::string>& argv, std::string_view input,
                     const ChildOutput& onOutput, const std::function<bool()>& cancelled,
                     std::chrono::milliseconds limit);

}  // namespace synth
