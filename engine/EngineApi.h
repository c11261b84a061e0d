#pragma once
// The contract between the toolbar and the four speech engine libraries (vt_jpn.so,
// vt_eng.so, vt_chi.so, vt_kor.so). Every library exports the same ten operations with its
// own suffix (_JPN, _ENG, _CHI, _KOR). All calls come from the toolbar's UI thread.
//
// - Window handles are pointer-sized integers; statuses are 16-bit.
// - VT_LOADTTS_EXT_x returns 0 when the engine is usable, anything else when it is not.
// - VT_PLAYTTS_x copies the text and returns at once; speech plays on by itself.
// - Stop, pause, restart and unload are harmless in any state, also when the engine never
//   loaded. No C++ exception ever crosses this interface.
// - VT_LOAD_UserDict_x returns 1 when the dictionary was loaded, anything else on failure.
// - VT_GetTTSInfo_x writes one 32-bit value (information codes below) into *value.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum VtInfoCode {
    VT_INFO_PITCH_MAX = 11,
    VT_INFO_PITCH_DEFAULT = 12,
    VT_INFO_PITCH_MIN = 13,
    VT_INFO_SPEED_MAX = 14,
    VT_INFO_SPEED_DEFAULT = 15,
    VT_INFO_SPEED_MIN = 16,
    VT_INFO_VOLUME_MAX = 17,
    VT_INFO_VOLUME_DEFAULT = 18,
    VT_INFO_VOLUME_MIN = 19,
};

// The operations' function types; each has a pointer type named ...Fn.
typedef short VtLoad(intptr_t window, int speaker, const char* engineDir, int reserved1,
                     int reserved2, int reserved3);
typedef void VtUnload(int speaker);
typedef void VtGetInfo(int code, int reserved, int* value, int valueSize);
typedef short VtLoadUserDict(int dictIndex, const char* path);
typedef void VtUnloadUserDict(int dictIndex);
// Arguments: caller's window, 0, text in the engine's encoding (zero-terminated), speaker
// number, pitch, speed, volume (percentages of the voice's normal), 687, text form code, 1.
typedef void VtPlay(intptr_t window, int message, const char* text, int speaker, int pitch,
                    int speed, int volume, int reserved687, int textForm, int flags);
// Volume, speed and pitch of one language, as VT_PLAYTTS_x takes them.
typedef struct VtVoiceProsody {
    int pitch;
    int speed;
    int volume;
} VtVoiceProsody;
// VT_PLAYTTS_UTF8_x, beside VT_PLAYTTS_x for text that mixes languages. Arguments: caller's
// window, the text as UTF-8 (zero-terminated; malformed bytes are skipped), speaker number,
// the prosody of each language (element k for language 7 + k), their count, flags (0).
// Like VT_PLAYTTS_x, it copies the text, returns at once and replaces what this engine was
// playing. The text is split into runs by script (synth/text/ScriptRuns.h, with this library's
// language as the chosen one); each run is read by the front end, user dictionary and voice of
// its language, with that language's prosody (the voice's defaults for a language past the
// count), one run after the other into this library's audio, so its stop, pause and
// restart act on the whole reading. A run whose language's engine is not loaded is read by
// this library's engine. Nothing goes through a code page.
typedef void VtPlayUtf8(intptr_t window, const char* utf8, int speaker,
                        const VtVoiceProsody* prosody, int prosodyCount, int flags);
typedef void VtControl(void);

typedef VtLoad* VtLoadFn;
typedef VtUnload* VtUnloadFn;
typedef VtGetInfo* VtGetInfoFn;
typedef VtLoadUserDict* VtLoadUserDictFn;
typedef VtUnloadUserDict* VtUnloadUserDictFn;
typedef VtPlay* VtPlayFn;
typedef VtPlayUtf8* VtPlayUtf8Fn;
typedef VtControl* VtControlFn;

// The entry points, listed once for the declarations and the loaders: X(arg, name before the
// suffix, function type, member of engine::EngineFunctions). The library's suffix completes each
// name: VT_PLAYTTS_ and JPN make VT_PLAYTTS_JPN.
#define SELVARINE_ENGINE_ENTRY_POINTS(X, arg)                     \
    X(arg, VT_LOADTTS_EXT_, VtLoad, load)                         \
    X(arg, VT_UNLOADTTS_EXT_, VtUnload, unload)                   \
    X(arg, VT_GetTTSInfo_, VtGetInfo, getInfo)                    \
    X(arg, VT_LOAD_UserDict_, VtLoadUserDict, loadUserDict)       \
    X(arg, VT_UNLOAD_UserDict_, VtUnloadUserDict, unloadUserDict) \
    X(arg, VT_PLAYTTS_, VtPlay, play)                             \
    X(arg, VT_PLAYTTS_UTF8_, VtPlayUtf8, playUtf8)                \
    X(arg, VT_STOPTTS_, VtControl, stop)                          \
    X(arg, VT_PAUSETTS_, VtControl, pause)                        \
    X(arg, VT_RESTARTTTS_, VtControl, restart)

// Following and steering what is being read; same rules as the nine above (any thread of
// the caller's, any state, never blocks on the sound server, no exception).
//
// - VT_GETPOSITION_x fills *position with what the listener hears now of the latest play
//   call's text (the sink's playback position, not what has been synthesised) and copies that
//   sentence, as UTF-8 and zero-terminated, into sentence[0..sentenceSize) (cut at a character
//   when it does not fit). Returns 1 while speech is heard or queued, 0 when nothing is (then
//   *position is all -1 and sentence empty). Null arguments are allowed.
// - VT_PLAYFROM_x goes on with the text of the latest play call from the byte offset given
//   (into that text as it was passed, the start of a sentence as VT_GETPOSITION_x reports):
//   queued audio is dropped at once and synthesis starts there with the same voice, speed,
//   pitch and volume; a pause is left. An offset at or past the end ends the speech as the end
//   of the text would. Returns 1, or 0 with nothing done when no text is being read.
// - VT_SETSPEED_x changes the speed (a percentage, clamped like play's) of the text being read
//   from its next clause on. Does nothing when no text is being read.
typedef struct VtPosition {
    int32_t sentenceStart;  // bytes into the played text: [sentenceStart, sentenceEnd)
    int32_t sentenceEnd;
    int32_t previousStart;  // the start of the sentence read before this one, -1 for none
    int32_t wordStart;      // the word being heard, bytes into the UTF-8 sentence; -1 when
    int32_t wordEnd;        // the voice reports no words
    int32_t heardMs;        // how long this sentence has been heard
} VtPosition;
typedef int VtGetPosition(VtPosition* position, char* sentence, int sentenceSize);
typedef int VtPlayFrom(int offset);
typedef void VtSetSpeed(int speed);

typedef VtGetPosition* VtGetPositionFn;
typedef VtPlayFrom* VtPlayFromFn;
typedef VtSetSpeed* VtSetSpeedFn;

#define SELVARINE_FOLLOW_ENTRY_POINTS(X, arg)           \
    X(arg, VT_GETPOSITION_, VtGetPosition, getPosition) \
    X(arg, VT_PLAYFROM_, VtPlayFrom, playFrom)          \
    X(arg, VT_SETSPEED_, VtSetSpeed, setSpeed)

// Saving speech to a sound file, beside the others. A library without them still reads aloud;
// only saving is unavailable for its language (EngineLibrary resolves them apart).
//
// VT_SAVETTS_x(text, pitch, speed, volume, path, format) speaks the text as VT_PLAYTTS_x
// would (same encoding, voice, dictionary and limits) into the file at path (UTF-8), in the
// VtSaveFormat given, without playing it and as fast as the voices synthesise. It replaces
// whatever the engine was playing or saving, and returns at once: VT_SAVE_RUNNING once the
// save has begun, or why it could not (VT_SAVE_NOT_LOADED, VT_SAVE_BAD_FORMAT,
// VT_SAVE_CANNOT_CREATE, VT_SAVE_DISK_FULL, VT_SAVE_READ_ONLY). Whether the file can be put at
// path is checked then, before any synthesis. The audio goes to a temporary file beside path,
// which is renamed over path only once all of it is written; a save that is stopped or fails
// leaves no file of its own behind, and an existing file at path stays as it was. A file it
// replaces keeps its permissions (and its owner where we may keep it); a second hard link to
// it keeps the old content. A file at path that we may not write is replaced only when
// VT_SAVE_REPLACE_READ_ONLY is or'ed into the format.
// VT_SAVESTATUS_x(permille) tells how the latest save stands, with how much of the text is
// done (0 to 1000) in *permille when permille is not null: VT_SAVE_RUNNING until it ends,
// then VT_SAVE_DONE, VT_SAVE_CANCELLED (VT_STOPTTS_x, a play, an unload), VT_SAVE_DISK_FULL,
// VT_SAVE_TOO_LONG or VT_SAVE_WRITE_FAILED; VT_SAVE_NONE before any save. VT_STOPTTS_x cancels a
// save.
enum VtSaveFormat {
    VT_SAVE_WAV = 1,  // 16-bit PCM
    VT_SAVE_FLAC = 2,
    VT_SAVE_OGG_VORBIS = 3,
    VT_SAVE_MP3 = 4,
    VT_SAVE_REPLACE_READ_ONLY = 0x100,  // a flag or'ed into the format (see above)
};
enum VtSaveStatus {
    VT_SAVE_RUNNING = 0,
    VT_SAVE_DONE = 1,
    VT_SAVE_CANCELLED = 2,
    VT_SAVE_NOT_LOADED = 3,
    VT_SAVE_BAD_FORMAT = 4,  // an unknown format, or one the sound file library cannot write
    // The folder is missing, read-only or not ours to write; or path names a folder, is too
    // long for the file system, or is another user's file in a sticky folder (/tmp).
    VT_SAVE_CANNOT_CREATE = 5,
    VT_SAVE_DISK_FULL = 6,
    VT_SAVE_WRITE_FAILED = 7,  // any other failure to write or to put the file in place
    VT_SAVE_NONE = 8,
    VT_SAVE_UNAVAILABLE = 9,  // the library has no save entry points (never returned by one)
    VT_SAVE_TOO_LONG = 10,    // more audio than the format can hold (WAV: 4 GB)
    VT_SAVE_READ_ONLY = 11,   // a file we may not write is at path, and the format lacks the flag
};

typedef short VtSave(const char* text, int pitch, int speed, int volume, const char* path,
                     int format);
typedef short VtSaveStatusOf(int* permille);
typedef VtSave* VtSaveFn;
typedef VtSaveStatusOf* VtSaveStatusOfFn;

#define SELVARINE_ENGINE_SAVE_ENTRY_POINTS(X, arg) \
    X(arg, VT_SAVETTS_, VtSave, save)              \
    X(arg, VT_SAVESTATUS_, VtSaveStatusOf, saveStatus)

// Reading options, beside the others and optional like saving: a library without it reads
// with its built-in choices. VT_SETOPTION_x(name, value) sets one option of this library's
// language for the plays, saves and jumps that follow (never the sentence being heard); both
// are UTF-8 and zero-terminated. Returns 1 when the option was taken, 0 for an unknown name
// or a value it does not take (then nothing changes). Options:
// - "voice": the folder name of the added voice that speaks this language (the settings'
//   `Voice` value); "" for the built-in voice. An added voice that cannot be opened or that
//   fails leaves the built-in voice speaking, said under SELVARINE_VERBOSE; the call still
//   returns 1, since the choice is kept and tried again at the next change.
// - "sentence-pause": "short" (a third of the voice's own silence between two sentences),
//   "normal" (the voice's own, the default) or "long" (twice it).
// - "links": how a URL in the text is read: "all" (said whole, its separators as words),
//   "domain" (as a link to its host, the default) or "none" (left out).
typedef short VtSetOption(const char* name, const char* value);
typedef VtSetOption* VtSetOptionFn;

#define SELVARINE_ENGINE_OPTION_ENTRY_POINTS(X, arg) X(arg, VT_SETOPTION_, VtSetOption, setOption)

#define SELVARINE_DECLARE_ENTRY_POINT(SUFFIX, name, type, member) type name##SUFFIX;
// Declares the entry points of the library with the given suffix.
#define SELVARINE_DECLARE_ENGINE_API(SUFFIX)                             \
    SELVARINE_ENGINE_ENTRY_POINTS(SELVARINE_DECLARE_ENTRY_POINT, SUFFIX) \
    SELVARINE_FOLLOW_ENTRY_POINTS(SELVARINE_DECLARE_ENTRY_POINT, SUFFIX)
// Declares the optional entry points (saving, options) of the library with the given suffix.
#define SELVARINE_DECLARE_ENGINE_SAVE_API(SUFFIX)                              \
    SELVARINE_ENGINE_SAVE_ENTRY_POINTS(SELVARINE_DECLARE_ENTRY_POINT, SUFFIX) \
    SELVARINE_ENGINE_OPTION_ENTRY_POINTS(SELVARINE_DECLARE_ENTRY_POINT, SUFFIX)

#ifdef __cplusplus
}
#endif
