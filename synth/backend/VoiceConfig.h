#pragma once
// The voice configuration file `voice.conf` of an engine directory.
//
// Format: UTF-8 text, one `key = value` a line, `#` starts a comment line. Keys:
//   voice        espeak-ng voice that speaks the text (required); the fallback of the
//                natural voices
//   encoding     iconv name of the text's byte encoding (required)
//   reading      the text front end: `mecab` (Japanese to katakana), `mandarin`, `korean`,
//                `english` or `none` (optional, default none)
//   latin-voice  espeak-ng voice for runs of Latin letters inside the text (optional)
//   name         display name of the voice (optional)
//   backend      what speaks the text: `espeak` (default), `openjtalk` (Japanese text as it
//                is written, with pitch accent) or `flite` (English)
//   latin-backend  what speaks the Latin runs: `espeak` (default, latin-voice) or `flite`
//                Back-end names are matched ignoring case; an unknown one is espeak.
//   hts-voice    the .htsvoice file of `openjtalk`, relative to the engine directory
//   hts-voice-sha256  its checksum; a file that does not match is not used
//   openjtalk-program, openjtalk-dictionary  (default /usr/bin/open_jtalk and
//                /var/lib/mecab/dic/open-jtalk/naist-jdic)
//   flite-voice  `slt` (default), `kal16`, `kal`, `awb` or `rms`
// Unknown keys are ignored so that newer files still load.

#include <optional>
#include <string>

#include "synth/text/FrontEnd.h"

namespace synth {

enum class Backend { Espeak, OpenJTalk, Flite };

struct VoiceConfig {
    std::string name;
    std::string voice;
    std::string encoding;
    std::string latinVoice;
    TextReading reading = TextReading::None;
    Backend backend = Backend::Espeak;
    Backend latinBackend = Backend::Espeak;
    std::string htsVoice;
    std::string htsVoiceSha256;
    std::string openJTalkProgram = "/usr/bin/open_jtalk";
    std::string openJTalkDictionary = "/var/lib/mecab/dic/open-jtalk/naist-jdic";
    std::string fliteVoice = "slt";
};

inline constexpr const char* kVoiceConfigFile = "voice.conf";

// Reads `<engineDir>/voice.conf`. Returns nothing (and the reason in *error) when the
// directory or the file is missing or unreadable, a line is malformed, or a required key is
// absent.
std::optional<VoiceConfig> readVoiceConfig(const std::string& engineDir, std::string* error);

}  // namespace synth
