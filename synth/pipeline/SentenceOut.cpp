#include "synth/pipeline/SentenceOut.h"

#include <algorithm>

namespace synth {
namespace {

// Samples within 1% of full scale count as silence: the voices' pauses hold low noise and the
// fade of the last sound, never speech.
constexpr int kSilence = 328;

bool isSpeech(int16_t v) {
    return v > kSilence || v < -kSilence;
}

}  // namespace

bool parseSentencePause(std::string_view name, SentencePause* out) {
    constexpr std::pair<std::string_view, SentencePause> kNames[] = {
        {"short", SentencePause::Short},
        {"normal", SentencePause::Normal},
        {"long", SentencePause::Long},
    };
    for (const auto& [n, pause] : kNames)
        if (name == n) {
            *out = pause;
            return true;
        }
    return false;
}

SentenceOut::SentenceOut(SentencePause pause, bool first, int rate, int64_t& samples, Write write,
                         Mark mark)
    : m_pause(pause),
      m_nRate(rate),
      m_samples(samples),
      m_write(std::move(write)),
      m_mark(std::move(mark)),
      m_bFirst(first),
      m_bInLead(true),
      m_bHoldLead(first || pause == SentencePause::Short),
      m_nLeadStart(samples) {}

void SentenceOut::emit(const int16_t* data, std::size_t count) {
    if (count > 0) m_write(data, count);
}

void SentenceOut::audio(const int16_t* level, const int16_t* data, std::size_t count) {
    m_samples += static_cast<int64_t>(count);
    if (m_pause == SentencePause::Normal && !m_bInLead) return emit(data, count);
    // Silence is held at most this long; a voice that says nothing for longer is not pausing
    // between sentences, and what it said is written as it is.
    const std::size_t maxHeld = static_cast<std::size_t>(std::max(m_nRate, 1000)) * 5;
    std::size_t first = count, last = count;
    for (std::size_t i = 0; i < count; ++i)
        if (isSpeech(level[i])) {
            if (first == count) first = i;
            last = i;
        }
    if (m_bInLead) {
        m_nLead += std::min(first, count);
        if (m_bHoldLead)
            m_held.insert(m_held.end(), data, data + std::min(first, count));
        else
            emit(data, std::min(first, count));
        if (first == count) {
            if (m_bHoldLead && m_held.size() > maxHeld) {
                m_bHoldLead = false;
                settleLead(m_held.size());
            }
            return;
        }
        m_bInLead = false;
        if (m_bHoldLead)
            settleLead(m_bFirst ? std::min(m_held.size(), static_cast<std::size_t>(m_nRate) *
                                                              kFirstLeadMs / 1000)
                                : m_held.size() / 3);
        data += first;
        count -= first;
        last -= first;
    }
    const bool hold = m_pause == SentencePause::Short;
    if (last == count) {
        m_nQuietRun += count;
        if (!hold) return emit(data, count);
        m_held.insert(m_held.end(), data, data + count);
        if (m_held.size() > maxHeld) {
            emit(m_held.data(), m_held.size());
            m_held.clear();
        }
        return;
    }
    if (hold) {
        emit(m_held.data(), m_held.size());
        m_held.clear();
    }
    emit(data, last + 1);
    m_nQuietRun = count - last - 1;
    if (hold)
        m_held.assign(data + last + 1, data + count);
    else
        emit(data + last + 1, count - last - 1);
}

// Writes the last `kept` samples of the held lead, drops the rest, and tells the marks held
// meanwhile where they now fall.
void SentenceOut::settleLead(std::size_t kept) {
    const std::size_t dropped = m_held.size() - kept;
    emit(m_held.data() + dropped, kept);
    m_held.clear();
    m_samples -= static_cast<int64_t>(dropped);
    for (const HeldMark& m : m_marks)
        m_mark(m.start, m.end, std::max(m_nLeadStart, m.sample - static_cast<int64_t>(dropped)));
    m_marks.clear();
}

void SentenceOut::mark(int start, int end, int64_t sample) {
    if (m_bInLead && m_bHoldLead)
        m_marks.push_back({start, end, sample});
    else
        m_mark(start, end, sample);
}

void SentenceOut::end(bool more) {
    if (m_bInLead) {
        // A sentence without speech (a pause of its own) is left whole.
        if (m_bHoldLead) settleLead(m_held.size());
        return;
    }
    if (m_pause == SentencePause::Short) {
        const std::size_t kept = m_held.size() / 3;
        emit(m_held.data(), kept);
        m_samples -= static_cast<int64_t>(m_held.size() - kept);
        m_held.clear();
    } else if (m_pause == SentencePause::Long && more) {
        // The next sentence's voice is most likely this one's, so its lead is as long.
        std::size_t extra = m_nQuietRun + m_nLead;
        m_samples += static_cast<int64_t>(extra);
        const std::vector<int16_t> zeros(std::min<std::size_t>(extra, 4096), 0);
        while (extra > 0) {
            const std::size_t n = std::min(extra, zeros.size());
            emit(zeros.data(), n);
            extra -= n;
        }
    }
}

}  // namespace synth
