#pragma once
// Where an engine's audio goes: 16-bit mono PCM at the synthesiser's rate.
//
// Audio comes in utterances. begin opens one and cancel() ends it at once; writes and
// ends that carry any other token than the open utterance's are dropped, so audio of a
// stopped utterance that is still in flight never plays. The speech worker calls begin,
// write, end and wantsMore; the engine calls cancel, pause and resume from the caller's
// thread.
//
// Choice of sink, by the environment variable SELVARINE_AUDIO when an engine loads:
//   unset or `pulse`  the PulseAudio server (also PipeWire's), one stream per engine
//   `wav:PATH`        a WAV file. The file holds the most recent utterance of any engine in
//                     the process: each begin rewrites it from the start, audio of older
//                     utterances still playing is dropped, and cancel keeps what was
//                     written. The header is brought up to date at every end and cancel.
//                     Engines loaded with another path write to that file instead.
//   `null`            audio is dropped
// Files and `null` take audio as fast as it comes; pause holds synthesis between sentences.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace synth {

class AudioSink {
  public:
    virtual ~AudioSink() = default;

    // Opens the utterance `token` unless `current` has moved on from it (a stop came first);
    // the check and the opening are atomic with respect to cancel.
    virtual void begin(uint64_t token, const std::atomic<uint64_t>& current) = 0;
    virtual void write(uint64_t token, const int16_t* samples, std::size_t count) = 0;
    // A sentence starts with the next sample written. A sink that can lose queued audio (a
    // sound server that goes away) uses it to say the interrupted sentence again.
    virtual void mark(uint64_t) {}
    // The utterance is complete; queued audio plays out.
    virtual void end(uint64_t token) = 0;
    // Drops queued audio, falls silent within milliseconds and leaves the pause.
    virtual void cancel() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // True when the worker may synthesise more for this sink now (bounds queued audio).
    virtual bool wantsMore() const = 0;
    // Samples of utterance `token` heard so far (its playback position); -1 when it is not
    // the open utterance or has played out. Any thread; never waits for a sound server.
    virtual int64_t heardSamples(uint64_t token) const = 0;
};

// The playback position of a sink that takes audio as fast as it comes: what was written is
// what is heard, until the utterance ends or is cancelled.
class WrittenPosition {
  public:
    void begin(uint64_t token) {
        m_nWritten = 0;
        m_nToken = token;
    }
    void wrote(uint64_t token, std::size_t count) {
        if (token == m_nToken) m_nWritten += static_cast<int64_t>(count);
    }
    void close(uint64_t token) {
        if (token == 0 || token == m_nToken) m_nToken = 0;
    }
    int64_t heard(uint64_t token) const {
        return token != 0 && token == m_nToken ? m_nWritten.load() : -1;
    }

  private:
    std::atomic<uint64_t> m_nToken{0};
    std::atomic<int64_t> m_nWritten{0};
};

// `description` names the stream in the sound server's lists.
std::unique_ptr<AudioSink> makeAudioSink(int sampleRate, const std::string& description);

}  // namespace synth
