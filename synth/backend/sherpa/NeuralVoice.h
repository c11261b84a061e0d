#pragma once
// A neural voice that a user added: a model folder spoken by our helper program
// (selvarine-neural-voice) through the neural runtime, one helper per voice.
//
// The helper is started when the voice is opened and loads the model while the worker goes
// on; the first speak waits for it. It is kept, model loaded, until the voice is destroyed.
// Each sentence goes to the helper and comes back as it is made; a cancelled speak returns
// at once and tells the helper to drop the rest, so no reload follows a stop. While a
// sentence plays, the next one is made ahead (prepare), so sentences follow without a gap
// even where the model takes longer than the first clause to speak. A helper that
// dies or hangs makes speak fail, and the caller's fallback voice takes over. Speed is the
// model's length scale; pitch plays the samples faster or slower, made slower or faster by
// as much so the speed stays; no word times are told.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>

#include "synth/backend/VoiceBackend.h"
#include "synth/backend/sherpa/NeuralModel.h"
#include "synth/backend/sherpa/NeuralVoiceProtocol.h"

namespace synth {

struct NeuralSetup {
    std::string helper;   // the selvarine-neural-voice program
    std::string runtime;  // the runtime's libsherpa-onnx-c-api.so
    int threads = 1;
    int speaker = 0;
};

// The helper beside the speech core library, and the runtime where scripts/setup installs
// it (SELVARINE_NEURAL_RUNTIME names another).
NeuralSetup defaultNeuralSetup();

class NeuralVoice final : public VoiceBackend {
  public:
    NeuralVoice(NeuralModel model, NeuralSetup setup);
    ~NeuralVoice() override;
    NeuralVoice(const NeuralVoice&) = delete;
    NeuralVoice& operator=(const NeuralVoice&) = delete;

    int sampleRate() const override { return m_model.sampleRate; }
    std::string describe() const override;
    SpeakResult speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                      const Cancelled& cancelled) override;
    void prepare(const std::string& utf8, const Prosody& prosody) override;

    // Waits until the model is loaded; false once it cannot be, with the reason in *why.
    bool waitReady(const Cancelled& cancelled, std::string* why);
    pid_t helperPid() const { return m_pid; }

  private:
    enum class Got { Frame, Cancelled, Broken };
    Got next(neural::FrameHeader* header, std::string* payload, const Cancelled& cancelled,
             std::chrono::milliseconds limit);
    void breakDown(const std::string& why);
    bool request(neural::RequestKind kind, uint32_t id, const Prosody& prosody,
                 const std::string& utf8);

    NeuralModel m_model;
    NeuralSetup m_setup;
    int m_fd = -1;
    pid_t m_pid = -1;
    bool m_bReady = false, m_bBroken = false;
    std::string m_strWhy;
    std::string m_in;  // bytes read from the helper, not yet taken
    uint32_t m_nextId = 1;
    uint32_t m_preparedId = 0;  // sent ahead by prepare, not asked for yet
    std::string m_preparedText;
    Prosody m_preparedProsody;
};

// The voice of `folder`, its helper started; nothing, with the reason in *why, when the
// folder holds no voice the helper can load or the helper or runtime is missing.
std::unique_ptr<NeuralVoice> openNeuralVoice(const std::string& folder, const NeuralSetup& setup,
                                             std::string* why);

// The added voice a language's `Voice` value names (a folder of voicesFolder()), its model
// loading in the helper meanwhile. Nothing for an empty value (the built-in voice speaks);
// nothing with the reason in *why when that voice is missing, broken, or does not speak
// `language` ("English", "Chinese", "Korean", "Japanese"): the built-in voice speaks then too.
std::unique_ptr<NeuralVoice> openAddedVoice(const std::string& voiceValue,
                                            const std::string& language, std::string* why,
                                            const NeuralSetup& setup = defaultNeuralSetup());

}  // namespace synth
