#include "synth/pipeline/SpeechPosition.h"

#include <algorithm>
#include <iterator>

namespace synth {

namespace {
constexpr std::size_t kKept = 64;
}  // namespace

void SpeechPosition::newText(uint64_t utterance) {
    std::lock_guard lock(m_mutex);
    m_nUtterance = utterance;
    m_sentences.clear();
    m_starts.clear();
}

void SpeechPosition::restart(uint64_t utterance) {
    std::lock_guard lock(m_mutex);
    m_nUtterance = utterance;
    m_sentences.clear();
}

void SpeechPosition::sentence(uint64_t utterance, std::size_t start, std::size_t end,
                              std::string text, int64_t firstSample) {
    std::lock_guard lock(m_mutex);
    if (utterance != m_nUtterance) return;
    m_starts[start] = end;
    // The sink holds about a second of audio, so the sentence heard is always among the
    // latest few synthesised; older ones go, which bounds this for a long text.
    if (m_sentences.size() >= kKept * 2)
        m_sentences.erase(m_sentences.begin(), m_sentences.begin() + kKept);
    m_sentences.push_back({start, end, std::move(text), firstSample, {}});
}

void SpeechPosition::word(uint64_t utterance, int start, int end, int64_t firstSample) {
    std::lock_guard lock(m_mutex);
    if (utterance != m_nUtterance || m_sentences.empty()) return;
    m_sentences.back().words.push_back({start, end, firstSample});
}

Heard SpeechPosition::at(uint64_t utterance, int64_t heardSamples) const {
    std::lock_guard lock(m_mutex);
    Heard h;
    if (utterance != m_nUtterance) return h;
    // The last sentence that began at or before the position.
    auto it = std::upper_bound(m_sentences.begin(), m_sentences.end(), heardSamples,
                               [](int64_t at, const Sentence& s) { return at < s.firstSample; });
    if (it == m_sentences.begin()) return h;
    const Sentence& s = *std::prev(it);
    h.speaking = true;
    h.sentenceStart = s.start;
    h.sentenceEnd = s.end;
    h.sentence = s.text;
    h.heardSamples = heardSamples - s.firstSample;
    auto known = m_starts.find(s.start);
    if (known != m_starts.begin() && known != m_starts.end())
        h.previousStart = static_cast<long long>(std::prev(known)->first);
    auto w = std::upper_bound(s.words.begin(), s.words.end(), heardSamples,
                              [](int64_t at, const Word& word) { return at < word.firstSample; });
    if (w != s.words.begin()) {
        h.wordStart = std::prev(w)->start;
        h.wordEnd = std::prev(w)->end;
    }
    return h;
}

}  // namespace synth
