// Entry points of the core library for tests, benchmarks and the dictionary editor's reading
// line, found with dlsym in the core that the engine libraries loaded; the toolbar never
// calls them.

#include <cstdint>

#include "synth/api/Engines.h"

extern "C" {

// 1 once no engine has text left to synthesise, 0 when the timeout ran out first.
__attribute__((visibility("default"))) int selvarine_synth_wait_idle(int timeoutMs) {
    return synth::waitIdle(timeoutMs) ? 1 : 0;
}

// Nanoseconds from the latest play call of language 7 to 10 to its first audio handed to the
// sink; -1 before any, and for any other number.
__attribute__((visibility("default"))) int64_t selvarine_synth_first_audio_ns(int language) {
    if (!engine::IsEngineLanguage(language)) return -1;
    return synth::firstAudioNanoseconds(static_cast<synth::Language>(language));
}

// Where the latest mixed reading (VT_PLAYTTS_UTF8_x) of language 7 to 10 came closest to a
// silence between two runs, in nanoseconds: how much later the next run's first audio reached
// the sink than the audio before it would have finished playing in real time. Positive: a
// silence the listener hears; negative: audio was still queued. INT64_MIN before a second run
// and for any other number.
__attribute__((visibility("default"))) int64_t selvarine_synth_run_late_ns(int language) {
    if (!engine::IsEngineLanguage(language)) return INT64_MIN;
    return synth::runLateNanoseconds(static_cast<synth::Language>(language));
}

// What the voices say when language 7 to 10 reads the UTF-8 text as VT_PLAYTTS_UTF8_x does,
// each run by its script's language: one segment a line, the language of the voice that
// speaks it (ja, en, zh, ko; the chosen language's for a language whose engine is not
// loaded), a tab, and the text as that voice gets it (Japanese on Open JTalk: katakana
// pronunciation, accent phrases separated by /, ' after the accented mora). Bytes written,
// or -1 (an unloaded engine, a failing voice, too small a buffer).
__attribute__((visibility("default"))) int selvarine_synth_reading(int language, const char* utf8,
                                                                   char* out, int outSize) {
    if (!engine::IsEngineLanguage(language)) return -1;
    return synth::readingOf(static_cast<synth::Language>(language), utf8, out, outSize);
}

// The voice that speaks the text of language 7 to 10, named in `out`: 1 when it is the one
// the engine's voice.conf names, 0 when espeak-ng speaks in place of a missing or failed
// natural voice, -1 for an unloaded engine or too small a buffer.
__attribute__((visibility("default"))) int selvarine_synth_voice(int language, char* out,
                                                                 int outSize) {
    if (!engine::IsEngineLanguage(language)) return -1;
    return synth::voiceOf(static_cast<synth::Language>(language), out, outSize);
}
}
