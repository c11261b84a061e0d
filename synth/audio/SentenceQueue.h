#pragma once
// The audio of one utterance on its way to a sound server, kept from the start of the
// sentence being heard, so that a server that goes away while the reading is paused loses
// nothing: the sentence is sent again from its start.
//
// Not thread-safe: its owner guards it. Sizes are in bytes of 16-bit samples.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace synth {

class SentenceQueue {
  public:
    // `unplayedBytes`: how much of what was sent the server may still hold unplayed; a
    // sentence counts as heard from that far behind what was sent.
    explicit SentenceQueue(std::size_t unplayedBytes) : m_nUnplayed(unplayedBytes) {}

    void append(const int16_t* samples, std::size_t count);
    // A sentence starts with the next sample appended.
    void mark();
    void clear();

    const uint8_t* unsent() const { return m_bytes.data() + m_nHead; }
    std::size_t unsentBytes() const { return m_bytes.size() - m_nHead; }
    // The first `bytes` of unsent() went to the server.
    void sent(std::size_t bytes) { m_nHead += bytes; }
    // Sends again from the start of the sentence being heard, which starts the queue from now
    // on, so a second rewind before anything is sent stays there. Returns how many bytes
    // already sent are to be sent again.
    std::size_t rewind();
    // Lets go of audio before the sentence being heard, when that is worth a copy.
    void compact();

  private:
    std::size_t heardSentence() const;
    void dropBefore(std::size_t keep);

    std::size_t m_nUnplayed;
    std::vector<uint8_t> m_bytes;     // from the start of the sentence being heard
    std::deque<std::size_t> m_marks;  // offsets where sentences start
    std::size_t m_nHead = 0;          // the first byte not yet sent
};

}  // namespace synth
