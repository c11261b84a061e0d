#pragma once
// What the toolbar and its neural voice helper say to each other over one socket, both on
// the same machine, so in native byte order.
//
// The helper starts with its arguments, loads the model, and answers with Ready (payload:
// int32 sample rate, int32 number of speakers) or Failed (payload: the reason, UTF-8), after
// which it ends. Then each Request (the header, then `bytes` of UTF-8 text) is answered by
// Pcm frames (int16 samples) as the runtime makes them and one Done or Failed, all carrying
// the request's id. Requests queue: one may be sent ahead while another is spoken. A Stop
// (no text) ends the request of its id at its next sentence, or drops it from the queue;
// either way its Done still comes. The caller skips the frames of ids it no longer waits for.

#include <cstdint>

namespace synth::neural {

enum class FrameKind : uint32_t { Ready = 1, Pcm = 2, Done = 3, Failed = 4 };

struct FrameHeader {
    uint32_t id;
    FrameKind kind;
    uint32_t bytes;  // of the payload that follows
};

enum class RequestKind : uint32_t { Speak = 1, Stop = 2 };

struct RequestHeader {
    RequestKind kind;
    uint32_t id;
    float speed;  // 1 is the voice's normal; 2 twice as fast
    float pitch;  // 1 is the voice's normal; 2 an octave up
    int32_t speaker;
    uint32_t bytes;  // of the text that follows
};

// Far above any sentence a reader hands over; a larger request is refused, not allocated.
inline constexpr uint32_t kMaxRequestBytes = 1u << 20;

// The helper's arguments, in this order.
enum HelperArg {
    kArgRuntime = 1,
    kArgModel,
    kArgTokens,
    kArgLexicon,
    kArgDataDir,
    kArgThreads,
    kArgCount
};

}  // namespace synth::neural
