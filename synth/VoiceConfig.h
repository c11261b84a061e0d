#pragma once
// The voice configuration file `voice.conf` of an engine directory.
//
// Format: UTF-8 text, one `key = value` a line, `#` starts a comment line. Keys:
//   voice        espeak-ng voice that speaks the text (required)
//   encoding     iconv name of the text's byte encoding (required)
//   reading      the text front end: `mecab` (Japanese to katakana), `mandarin`, `korean`,
//                `english` or `none` (optional, default none)
//   latin-voice  voice for runs of Latin letters inside the text (optional)
//   name         display name of the voice (optional)
// Unknown keys are ignored so that newer files still load.

#include <optional>
#include <string>

namespace synth {

enum class TextReading { None, Japanese, Mandarin, Korean, English };

struct VoiceConfig {
    std::string name;
    std::string voice;
    std::string encoding;
    std::string latinVoice;
    TextReading reading = TextReading::None;
};

inline constexpr const char* kVoiceConfigFile = "voice.conf";

// Reads `<engineDir>/voice.conf`. Returns nothing (and the reason in *error) when the
// directory or the file is missing or unreadable, a line is malformed, or a required key is
// absent.
std::optional<VoiceConfig> readVoiceConfig(const std::string& engineDir, std::string* error);

}  // namespace synth
