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

typedef short (*VtLoadFn)(intptr_t window, int speaker, const char* engineDir, int reserved1,
                          int reserved2, int reserved3);
typedef void (*VtUnloadFn)(int speaker);
typedef void (*VtGetInfoFn)(int code, int reserved, int* value, int valueSize);
typedef short (*VtLoadUserDictFn)(int dictIndex, const char* path);
typedef void (*VtUnloadUserDictFn)(int dictIndex);
// Arguments: caller's window, 0, text in the engine's encoding (zero-terminated), speaker
// number, pitch, speed, volume (percentages of the voice's normal), 687, text form code, 1.
typedef void (*VtPlayFn)(intptr_t window, int message, const char* text, int speaker, int pitch,
                         int speed, int volume, int reserved687, int textForm, int flags);
typedef void (*VtControlFn)(void);

#define SELVARINE_DECLARE_ENGINE_API(SUFFIX)                                                   \
    short VT_LOADTTS_EXT_##SUFFIX(intptr_t window, int speaker, const char* engineDir,         \
                                  int reserved1, int reserved2, int reserved3);                \
    void VT_UNLOADTTS_EXT_##SUFFIX(int speaker);                                               \
    void VT_GetTTSInfo_##SUFFIX(int code, int reserved, int* value, int valueSize);            \
    short VT_LOAD_UserDict_##SUFFIX(int dictIndex, const char* path);                          \
    void VT_UNLOAD_UserDict_##SUFFIX(int dictIndex);                                           \
    void VT_PLAYTTS_##SUFFIX(intptr_t window, int message, const char* text, int speaker,      \
                             int pitch, int speed, int volume, int reserved687, int textForm,  \
                             int flags);                                                       \
    void VT_STOPTTS_##SUFFIX(void);                                                            \
    void VT_PAUSETTS_##SUFFIX(void);                                                           \
    void VT_RESTARTTTS_##SUFFIX(void);

#ifdef __cplusplus
}
#endif
