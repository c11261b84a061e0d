#pragma once
// Runs a program with an argument vector (never a shell), hands it its input on a pipe and
// streams its standard output back, bounded in time and in what it writes, and killed on
// cancel. The program runs in a process group of its own, and the whole group is killed when
// it is done with, so nothing it started outlives it.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace synth {

struct ChildResult {
    // TooMuch: it wrote more than its limits allow.
    enum Outcome {
        Exited,
        Signalled,
        TimedOut,
        TooMuch,
        Cancelled,
        CannotStart
    } outcome = CannotStart;
    int exitCode = -1;
};

struct ChildLimits {
    std::chrono::milliseconds time;
    std::size_t output = SIZE_MAX;  // bytes on standard output
    std::size_t side = SIZE_MAX;    // bytes on descriptor 3
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
    // the program ends; what its own children still write after that is not waited for.
    // `cancelled` is polled every 5 ms; when it turns true, the time limit passes or an output
    // goes over its limit, the program's group is killed. The time counts from this call.
    ChildResult finish(const ChildOutput& onOutput, const ChildOutput& onSide,
                       const std::function<bool()>& cancelled, const ChildLimits& limits);
    ChildResult run(std::string_view input, const ChildOutput& onOutput, const ChildOutput& onSide,
                    const std::function<bool()>& cancelled, const ChildLimits& limits) {
        send(input);
        return finish(onOutput, onSide, cancelled, limits);
    }

  private:
    // Kills the program's group and reaps the program.
    void end();
    bool exited(int* status);

    pid_t m_pid = -1;  // also the group's id
    int m_in = -1, m_out = -1, m_side = -1;
};

// Starts the program and runs it at once.
ChildResult runChild(const std::vector<std::string>& argv, std::string_view input,
                     const ChildOutput& onOutput, const std::function<bool()>& cancelled,
                     const ChildLimits& limits);

}  // namespace synth
