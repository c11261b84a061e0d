#include <memory>

#include "synth/audio/SinkFactory.h"
#include "synth/audio/pulse/PulseConnection.h"
#include "synth/audio/pulse/PulseStream.h"

namespace synth {
namespace {

using pulse::LoopLock;
using pulse::PulseConnection;
using pulse::PulseStream;

// The engine's face of a stream; the stream itself lives on in the connection until the
// main loop has let go of it.
class PulseSink final : public AudioSink {
  public:
    PulseSink(int sampleRate, std::string description)
        : m_conn(PulseConnection::instance()),
          m_stream(std::make_shared<PulseStream>(*m_conn, sampleRate, std::move(description))) {
        m_conn->add(m_stream);
    }
    ~PulseSink() override {
        m_stream->retire();
        m_conn->wake();
    }

    void begin(uint64_t token, const std::atomic<uint64_t>& current) override {
        LoopLock lock(m_conn->loop());
        m_stream->beginLocked(token, current);
    }
    void write(uint64_t token, const int16_t* samples, std::size_t count) override {
        LoopLock lock(m_conn->loop());
        m_stream->writeLocked(token, samples, count);
    }
    void mark(uint64_t token) override {
        LoopLock lock(m_conn->loop());
        m_stream->markLocked(token);
    }
    void end(uint64_t token) override {
        LoopLock lock(m_conn->loop());
        m_stream->endLocked(token);
    }
    void cancel() override {
        m_stream->requestCancel();
        m_conn->wake();
    }
    void pause() override {
        m_stream->requestCorked(true);
        m_conn->wake();
    }
    void resume() override {
        m_stream->requestCorked(false);
        m_conn->wake();
    }
    bool wantsMore() const override { return m_stream->wantsMore(); }
    int64_t heardSamples(uint64_t token) const override { return m_stream->heardSamples(token); }

  private:
    std::shared_ptr<PulseConnection> m_conn;
    std::shared_ptr<PulseStream> m_stream;
};

}  // namespace

std::unique_ptr<AudioSink> makePulseSink(int sampleRate, const std::string& description) {
    return std::make_unique<PulseSink>(sampleRate, description);
}

}  // namespace synth
