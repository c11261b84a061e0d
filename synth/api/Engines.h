#pragma once
// The program's speech core behind the four engine libraries: one SpeechCore
// (synth/core/SpeechCore.h) with the installed voices and the sink SELVARINE_AUDIO chooses.
// A natural voice (Open JTalk, flite) that is missing or fails gives way to espeak-ng, which
// speaks in its place.
//
// Every function here may be called from any thread, in any state, and never throws.

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/EngineApi.h"
#include "synth/core/SpeechCore.h"
#include "synth/pipeline/Language.h"
#include "synth/pipeline/SpeechPosition.h"

namespace synth {

// A LoadStatus (synth/core/SpeechCore.h).
short loadEngine(Language lang, const char* engineDir);
void unloadEngine(Language lang);
// Value of an information code (11 to 19); 0 for unknown codes.
int engineInfo(int code);
// 1 when the dictionary was read and is now in use, 0 otherwise (the old one stays).
short loadUserDictionary(Language lang, const char* path);
void unloadUserDictionary(Language lang);
// Copies the text (in the engine's encoding, zero-terminated) and returns; pitch, speed and
// volume are percentages, clamped to the limits. Replaces what was playing.
void play(Language lang, const char* text, int pitch, int speed, int volume);
// The same for UTF-8 text that may mix languages (VT_PLAYTTS_UTF8_x): each run by script is
// read by its own language's engine, into this engine's audio. `prosody` has `count` entries,
// Japanese first.
void playMixed(Language lang, const char* utf8, const VtVoiceProsody* prosody, int count);
// Like play, with the audio going to `sink` in place of the engine's own (a file being
// saved), as fast as that sink takes it. Play, stop and unload cancel the sink. progress, when
// given, learns on the worker after each sentence how much of the text (0 to 1) is taken.
// False, with nothing changed, when the engine is not loaded.
bool playInto(Language lang, const char* text, int pitch, int speed, int volume,
              std::shared_ptr<AudioSink> sink, std::function<void(double)> progress);
// The sample rate of the engine's audio; 0 when it is not loaded.
int audioRate(Language lang);
void stop(Language lang);
void pause(Language lang);
void resume(Language lang);
// Goes on with the latest played text from this byte of it (VT_PLAYFROM_x); false when the
// engine has no text to go on with.
bool playFrom(Language lang, int offset);
// The speed of the text being read, from its next clause on (VT_SETSPEED_x).
void setSpeed(Language lang, int speed);
// What the listener hears now of the latest text (VT_GETPOSITION_x) and the sink's rate its
// sample counts are in; false while nothing is heard.
bool heardNow(Language lang, Heard* heard, int* sampleRate);

// One reading option of the language (VT_SETOPTION_x); false when the name or value is not
// taken. Null arguments are refused.
bool setOption(Language lang, const char* name, const char* value);

// For tests and benchmarks: waits until no engine has text left to synthesise; false on
// timeout.
bool waitIdle(int timeoutMs);
// What the voices get when the engine reads the UTF-8 text as playMixed does (each run
// after its language's user dictionary), one segment a line: the language of the voice that
// speaks it (ja, en, zh, ko), a tab, its text. Bytes written to `out` without the
// terminating zero, or -1 when the engine is not loaded, a voice fails or `out` is too small.
int readingOf(Language lang, const char* utf8, char* out, int outSize);
// Which voice speaks the engine's text: its description (as SELVARINE_VERBOSE names it) in
// `out`, zero-terminated; 1 when it is the voice voice.conf names, 0 when espeak-ng speaks in
// place of a natural voice that is missing or failed, -1 when the engine is not loaded or
// `out` is too small.
int voiceOf(Language lang, char* out, int outSize);
// Nanoseconds from the latest play call to its first audio handed to the sink; -1 before.
int64_t firstAudioNanoseconds(Language lang);
// The latest playMixed's latest handover from one run to the next, as MixedText::noteAudio
// tells it (positive: a silence; negative: audio still queued); INT64_MIN before a second
// run has spoken.
int64_t runLateNanoseconds(Language lang);

}  // namespace synth
