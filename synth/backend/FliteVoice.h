#pragma once
// English in process through flite, streamed: each chunk reaches the sink as soon as the
// voice has made it, and a stop aborts between chunks.

#include <memory>
#include <string>

#include "synth/backend/VoiceBackend.h"

struct cst_voice_struct;

namespace synth {

class FliteVoice final : public VoiceBackend {
  public:
    // `name` is one of the linked voices: slt, kal16, kal, awb or rms. Nothing when it is
    // unknown.
    static std::unique_ptr<FliteVoice> open(const std::string& name);

    int sampleRate() const override { return m_nRate; }
    std::string describe() const override { return "flite " + m_strName; }
    SpeakResult speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                      const Cancelled& cancelled) override;
    void tellWords(WordOut words) override { m_words = std::move(words); }

    struct Stream;

  private:
    FliteVoice() = default;

    std::string m_strName;
    cst_voice_struct* m_pVoice = nullptr;  // flite keeps registered voices for the process
    int m_nRate = 16000;
    float m_fF0Mean = 100, m_fF0Stddev = 10;
    std::shared_ptr<Stream> m_stream;
    WordOut m_words;
};

}  // namespace synth
