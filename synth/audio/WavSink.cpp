#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "engine/Diagnostics.h"
#include "synth/audio/AudioSink.h"
#include "synth/audio/SinkFactory.h"

namespace synth {

class WavFile {
  public:
    explicit WavFile(std::string path) : m_strPath(std::move(path)) {}
    ~WavFile() {
        std::lock_guard lock(m_mutex);
        closeLocked();
    }

    const std::string& path() const { return m_strPath; }

    // Engines' voices differ in rate, so each utterance's header carries its sink's.
    void begin(const void* owner, int sampleRate, uint64_t token,
               const std::atomic<uint64_t>& current) {
        std::lock_guard lock(m_mutex);
        if (current.load() != token) return;
        closeLocked();
        m_nRate = sampleRate;
        m_pFile = std::fopen(m_strPath.c_str(), "wb");
        if (!m_pFile) {
            if (!m_bWarned) diag::Say(diag::Level::Error, "cannot write %s", m_strPath.c_str());
            m_bWarned = true;
            return;
        }
        m_pOwner = owner;
        m_nToken = token;
        m_nBytes = 0;
        writeHeaderLocked();
    }

    void write(const void* owner, uint64_t token, const int16_t* samples, std::size_t count) {
        std::lock_guard lock(m_mutex);
        if (!m_pFile || owner != m_pOwner || token != m_nToken) return;
        // RIFF sizes are 32-bit; audio past that would corrupt the header, so it is dropped.
        const std::size_t room = (0xFFFFFFFFu - 36u - m_nBytes) / 2;
        count = std::min(count, room);
        m_nBytes += std::fwrite(samples, 2, count, m_pFile) * 2;
    }

    // Brings the header up to date; with anyToken (a cancel) also ends the utterance.
    void finish(const void* owner, uint64_t token, bool anyToken) {
        std::lock_guard lock(m_mutex);
        if (!m_pFile || owner != m_pOwner || (!anyToken && token != m_nToken)) return;
        writeHeaderLocked();
        if (anyToken) m_nToken = 0;
    }

  private:
    void writeHeaderLocked() {
        auto put32 = [](unsigned char* p, uint32_t v) {
            for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>(v >> (8 * k));
        };
        unsigned char h[44];
        std::memcpy(h, "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0", 24);
        put32(h + 4, 36 + m_nBytes);
        put32(h + 24, static_cast<uint32_t>(m_nRate));
        put32(h + 28, static_cast<uint32_t>(m_nRate * 2));
        std::memcpy(h + 32, "\x02\0\x10\0data", 8);
        put32(h + 40, m_nBytes);
        std::fseek(m_pFile, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, m_pFile);
        std::fseek(m_pFile, 0, SEEK_END);
        std::fflush(m_pFile);
    }
    void closeLocked() {
        if (!m_pFile) return;
        writeHeaderLocked();
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }

    std::mutex m_mutex;
    std::string m_strPath;
    int m_nRate = 0;
    std::FILE* m_pFile = nullptr;
    const void* m_pOwner = nullptr;
    uint64_t m_nToken = 0;
    uint32_t m_nBytes = 0;
    bool m_bWarned = false;
};

namespace {

std::mutex g_wavMutex;
std::weak_ptr<WavFile> g_wavFile;

class WavSink final : public AudioSink {
  public:
    WavSink(std::shared_ptr<WavFile> file, int sampleRate)
        : m_file(std::move(file)), m_nRate(sampleRate) {}
    void begin(uint64_t token, const std::atomic<uint64_t>& current) override {
        m_position.begin(token);
        m_file->begin(this, m_nRate, token, current);
    }
    void write(uint64_t token, const int16_t* samples, std::size_t count) override {
        m_position.wrote(token, count);
        m_file->write(this, token, samples, count);
    }
    void end(uint64_t token) override {
        m_position.close(token);
        m_file->finish(this, token, false);
    }
    void cancel() override {
        m_bPaused = false;
        m_position.close(0);
        m_file->finish(this, 0, true);
    }
    void pause() override { m_bPaused = true; }
    void resume() override { m_bPaused = false; }
    bool wantsMore() const override { return !m_bPaused; }
    int64_t heardSamples(uint64_t token) const override { return m_position.heard(token); }

  private:
    std::shared_ptr<WavFile> m_file;
    int m_nRate;
    std::atomic<bool> m_bPaused{false};
    WrittenPosition m_position;
};

class NullSink final : public AudioSink {
  public:
    void begin(uint64_t token, const std::atomic<uint64_t>&) override { m_position.begin(token); }
    void write(uint64_t token, const int16_t*, std::size_t count) override {
        m_position.wrote(token, count);
    }
    void end(uint64_t token) override { m_position.close(token); }
    void cancel() override {
        m_bPaused = false;
        m_position.close(0);
    }
    void pause() override { m_bPaused = true; }
    void resume() override { m_bPaused = false; }
    bool wantsMore() const override { return !m_bPaused; }
    int64_t heardSamples(uint64_t token) const override { return m_position.heard(token); }

  private:
    std::atomic<bool> m_bPaused{false};
    WrittenPosition m_position;
};

}  // namespace

std::unique_ptr<AudioSink> makeWavSink(const std::string& path, int sampleRate) {
    std::lock_guard lock(g_wavMutex);
    auto file = g_wavFile.lock();
    if (!file || file->path() != path) {
        file = std::make_shared<WavFile>(path);
        g_wavFile = file;
    }
    return std::make_unique<WavSink>(std::move(file), sampleRate);
}

std::unique_ptr<AudioSink> makeNullSink() {
    return std::make_unique<NullSink>();
}

}  // namespace synth
