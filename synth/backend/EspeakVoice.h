#pragma once
// espeak-ng voices. espeak-ng is a process-wide singleton that crashes when two threads
// synthesise at once and has one global audio callback, so it is started once by the
// speech worker, used only from there, and each utterance routes its audio through
// user_data.

#include <string>

#include "synth/backend/VoiceBackend.h"

namespace synth {

// Worker only. Initialises espeak-ng; its sample rate, or -1 when it cannot start.
int startEspeak();
// Worker only, once, at the end of the process.
void stopEspeak();

class EspeakVoice final : public VoiceBackend {
  public:
    EspeakVoice(std::string voice, int rate) : m_strVoice(std::move(voice)), m_nRate(rate) {}

    // True when espeak-ng knows the voice.
    bool select();
    int sampleRate() const override { return m_nRate; }
    std::string describe() const override { return "espeak-ng " + m_strVoice; }
    SpeakResult speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                      const Cancelled& cancelled) override;
    void tellWords(WordOut words) override { m_words = std::move(words); }

  private:
    std::string m_strVoice;
    WordOut m_words;
    int m_nRate;
};

}  // namespace synth
