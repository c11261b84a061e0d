#pragma once
// Looks readings up on a thread of its own, so a slow voice never holds up the window. One
// look-up runs at a time; a request made meanwhile replaces any request still waiting, and
// only the latest one is answered.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace dicteditor {

class ReadingCheck {
  public:
    using Lookup = std::function<std::string(const std::string& utf8)>;
    // Called on the look-up thread with the number Request returned; a request made since may
    // still be answered later, so the receiver keeps the latest number.
    using Done = std::function<void(uint64_t request, const std::string& result)>;

    ReadingCheck(Lookup lookup, Done done);
    // Waits for the look-up in progress; requests still waiting are dropped.
    ~ReadingCheck();
    ReadingCheck(const ReadingCheck&) = delete;
    ReadingCheck& operator=(const ReadingCheck&) = delete;

    // Returns at once with the request's number (1, 2, ...).
    uint64_t Request(std::string utf8);

  private:
    void Run();

    Lookup m_lookup;
    Done m_done;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::optional<std::string> m_pending;
    uint64_t m_nLatest = 0;
    bool m_bStopping = false;
    std::thread m_thread;
};

}  // namespace dicteditor
