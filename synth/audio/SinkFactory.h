#pragma once
// The concrete sinks behind makeAudioSink.

#include <memory>
#include <string>

#include "synth/audio/AudioSink.h"

namespace synth {

std::unique_ptr<AudioSink> makeWavSink(const std::string& path, int sampleRate);
std::unique_ptr<AudioSink> makeNullSink();
// Never fails: without a sound server the sink drops audio and says so once on stderr.
std::unique_ptr<AudioSink> makePulseSink(int sampleRate, const std::string& description);

}  // namespace synth
