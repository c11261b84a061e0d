#include "synth/audio/SentenceQueue.h"

#include <algorithm>

namespace synth {

void SentenceQueue::append(const int16_t* samples, std::size_t count) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
    m_bytes.insert(m_bytes.end(), bytes, bytes + count * 2);
}

void SentenceQueue::mark() {
    if (m_marks.empty() || m_marks.back() != m_bytes.size()) m_marks.push_back(m_bytes.size());
}

void SentenceQueue::clear() {
    m_bytes.clear();
    m_marks.clear();
    m_nHead = 0;
}

// Twice what the server may hold unplayed errs towards saying a little again rather than
// losing a sentence's start. Without marks nothing sent is kept.
std::size_t SentenceQueue::heardSentence() const {
    if (m_marks.empty()) return m_nHead;
    const std::size_t margin = 2 * m_nUnplayed;
    const std::size_t heard = m_nHead > margin ? m_nHead - margin : 0;
    std::size_t start = 0;
    for (std::size_t mark : m_marks)
        if (mark <= heard) start = mark;
    return std::min(start, m_nHead);
}

std::size_t SentenceQueue::rewind() {
    const std::size_t start = heardSentence();
    const std::size_t again = m_nHead - start;
    m_nHead = start;
    dropBefore(start);
    return again;
}

void SentenceQueue::compact() {
    const std::size_t keep = heardSentence();
    if (keep == m_bytes.size() || (keep > (1u << 16) && keep * 2 > m_bytes.size()))
        dropBefore(keep);
}

void SentenceQueue::dropBefore(std::size_t keep) {
    if (keep == 0) return;
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(keep));
    m_nHead -= keep;
    while (!m_marks.empty() && m_marks.front() < keep) m_marks.pop_front();
    for (std::size_t& mark : m_marks) mark -= keep;
}

}  // namespace synth
