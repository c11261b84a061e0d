#pragma once
// Voices that speak in microseconds: each byte of text becomes kSamplesPerByte samples (fewer
// at a higher speed), and every call is written to a log the test reads. A voice fails on
// text holding its log's `failOn`, and `chunkDelay` slows it down to stop it mid-sentence.
// `silence` puts that many silent samples before and after each text's sound, as voices do.

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "synth/backend/VoiceFactory.h"

struct VoiceLog {
    struct Said {
        std::string voice, text;
        int speed = 0;
        bool prepared = false;  // handed to prepare, not spoken
    };
    std::mutex mutex;
    std::vector<Said> said;
    std::string failOn;
    std::chrono::microseconds chunkDelay{0};
    std::size_t silenceBefore = 0, silenceAfter = 0;

    // The texts a voice whose name starts with `voice` spoke (or, with `prepared`, was given
    // ahead), in order.
    std::vector<std::string> texts(const std::string& voice = "", bool prepared = false) {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const Said& s : said)
            if (s.prepared == prepared && s.voice.starts_with(voice)) out.push_back(s.text);
        return out;
    }
    std::vector<Said> all() {
        std::lock_guard lock(mutex);
        return said;
    }
};

class FakeVoice final : public synth::VoiceBackend {
  public:
    static constexpr int kSamplesPerByte = 100;

    FakeVoice(std::shared_ptr<VoiceLog> log, std::string name, int rate, bool writtenText = false)
        : m_log(std::move(log)), m_name(std::move(name)), m_rate(rate), m_written(writtenText) {}

    int sampleRate() const override { return m_rate; }
    std::string describe() const override { return m_name; }
    bool readsWrittenText() const override { return m_written; }
    void tellWords(synth::WordOut words) override { m_words = std::move(words); }
    void prepare(const std::string& utf8, const synth::Prosody& prosody) override {
        std::lock_guard lock(m_log->mutex);
        m_log->said.push_back({m_name, utf8, prosody.speed, true});
    }
    synth::SpeakResult speak(const std::string& utf8, const synth::Prosody& prosody,
                             const synth::PcmOut& out,
                             const synth::Cancelled& cancelled) override {
        std::chrono::microseconds delay;
        std::size_t before, after;
        {
            std::lock_guard lock(m_log->mutex);
            m_log->said.push_back({m_name, utf8, prosody.speed});
            if (!m_log->failOn.empty() && utf8.find(m_log->failOn) != std::string::npos)
                return synth::SpeakResult::Failed;
            delay = m_log->chunkDelay;
            before = m_log->silenceBefore;
            after = m_log->silenceAfter;
        }
        const std::vector<int16_t> silence(std::max(before, after), 0);
        if (before > 0) out(silence.data(), before);
        const std::size_t total = utf8.size() * kSamplesPerByte * 100 / prosody.speed;
        const std::vector<int16_t> chunk(64, 1000);
        for (std::size_t done = 0, word = 0; done < total; done += chunk.size()) {
            if (cancelled()) return synth::SpeakResult::Cancelled;
            // Words start after spaces, each told before its first sample.
            const std::size_t at = done * utf8.size() / total;
            if (m_words && at >= word && word < utf8.size()) {
                const std::size_t end = std::min(utf8.find(' ', word), utf8.size());
                m_words(word, end, before + done);
                word = end + 1;
            }
            out(chunk.data(), std::min(chunk.size(), total - done));
            if (delay.count() > 0) std::this_thread::sleep_for(delay);
        }
        if (after > 0) out(silence.data(), after);
        return synth::SpeakResult::Done;
    }

  private:
    std::shared_ptr<VoiceLog> m_log;
    std::string m_name;
    int m_rate;
    bool m_written;
    synth::WordOut m_words;
};

// An engine's voices from its voice.conf: a natural voice "natural <voice>" at 8 kHz where the
// configuration names a back-end other than espeak, and "fallback <voice>" at the
// synthesiser's rate; `voice = broken` cannot start. An added voice is "added <value>" at
// kAddedRate, except the value "missing", which cannot be opened.
class FakeVoices final : public synth::VoiceFactory {
  public:
    static constexpr int kRate = 16000, kNaturalRate = 8000, kAddedRate = 22050;

    explicit FakeVoices(std::shared_ptr<VoiceLog> log) : m_log(std::move(log)) {}

    int start() override { return kRate; }
    void stop() override {}
    synth::OpenedVoices open(const synth::VoiceConfig& config, const std::string&,
                             int rate) override {
        synth::OpenedVoices out;
        if (config.voice == "broken") return out;
        synth::Voices voices;
        if (config.backend != synth::Backend::Espeak)
            voices.natural = std::make_unique<FakeVoice>(
                m_log, "natural " + config.voice, kNaturalRate,
                config.backend == synth::Backend::OpenJTalk);
        voices.fallback = std::make_unique<FakeVoice>(m_log, "fallback " + config.voice, rate);
        out.voices = std::make_unique<synth::VoiceSet>(std::move(voices));
        return out;
    }
    std::unique_ptr<synth::VoiceBackend> openAdded(const std::string& value, const std::string&,
                                                   std::string* why) override {
        if (value == "missing") {
            *why = "no such voice";
            return nullptr;
        }
        return std::make_unique<FakeVoice>(m_log, "added " + value, kAddedRate);
    }

  private:
    std::shared_ptr<VoiceLog> m_log;
};
