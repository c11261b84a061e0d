#include <cstdlib>
#include <string>

#include "engine/Diagnostics.h"
#include "synth/audio/AudioSink.h"
#include "synth/audio/SinkFactory.h"

namespace synth {

std::unique_ptr<AudioSink> makeAudioSink(int sampleRate, const std::string& description) {
    const char* env = std::getenv("SELVARINE_AUDIO");
    const std::string choice = env ? env : "";
    if (choice == "null") return makeNullSink();
    if (choice.rfind("wav:", 0) == 0 && choice.size() > 4)
        return makeWavSink(choice.substr(4), sampleRate);
    if (!choice.empty() && choice != "pulse")
        diag::Say(diag::Level::Error, "SELVARINE_AUDIO=%s not understood, using PulseAudio",
                  choice.c_str());
    return makePulseSink(sampleRate, description);
}

}  // namespace synth
