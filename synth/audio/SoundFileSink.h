#pragma once
// A sink that writes one utterance to a sound file (WAV, FLAC, Ogg Vorbis or MP3, through
// libsndfile) as fast as the worker synthesises: it always wants more.
//
// The audio goes to a temporary file beside the target, which is renamed over the target
// only at end, once everything is written and synced: a cancelled or failed file is removed,
// and a file already at the target stays as it was until then. The replacement takes the
// replaced file's permissions; being a new file, it leaves a second hard link to the old one
// with the old content (writing in place would keep the link but could leave a partial
// file). Every byte goes through this sink's own write calls, so a full disk is noticed
// whatever the format's encoder does with the results of its writes.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "synth/audio/AudioSink.h"

typedef struct sf_private_tag SNDFILE;

namespace synth {

// How a save stands (a VtSaveStatus) and how much of its text is done; shared between the
// sink and whoever asks after it, so it outlives the sink.
struct SaveProgress {
    std::atomic<short> status;
    std::atomic<int> permille{0};
    explicit SaveProgress(short initial) : status(initial) {}
};

class SoundFileSink final : public AudioSink {
  public:
    // Creates the temporary file for `format` (a VtSaveFormat, VT_SAVE_REPLACE_READ_ONLY
    // allowed) at `sampleRate`; null with the reason (VT_SAVE_BAD_FORMAT,
    // VT_SAVE_CANNOT_CREATE, VT_SAVE_DISK_FULL, VT_SAVE_READ_ONLY, VT_SAVE_WRITE_FAILED) in
    // *status when it cannot, or when the target could not be replaced at the end. A WAV
    // file that would outgrow its 32-bit sizes fails with VT_SAVE_TOO_LONG instead of writing
    // a wrong header.
    static std::shared_ptr<SoundFileSink> create(const std::string& path, int format,
                                                 int sampleRate, short* status);
    // A sink dropped before its end (the synthesis gave up on the text) removes its file and
    // counts as failed.
    ~SoundFileSink() override;

    std::shared_ptr<SaveProgress> progress() const { return m_progress; }

    void begin(uint64_t token, const std::atomic<uint64_t>& current) override;
    void write(uint64_t token, const int16_t* samples, std::size_t count) override;
    // Finishes the file and renames it into place: VT_SAVE_DONE, or why not.
    void end(uint64_t token) override;
    // VT_SAVE_CANCELLED, and the file removed, unless it was already finished.
    void cancel() override;
    void pause() override {}
    void resume() override {}
    bool wantsMore() const override { return true; }
    // A save is not heard, so no caption or sentence move follows it.
    int64_t heardSamples(uint64_t) const override { return -1; }

    // libsndfile's virtual I/O, over the temporary file's descriptor.
    int64_t ioLength();
    int64_t ioSeek(int64_t offset, int whence);
    int64_t ioRead(void* out, int64_t count);
    int64_t ioWrite(const void* in, int64_t count);
    int64_t ioTell();

  private:
    SoundFileSink(std::string path, std::string temp, int fd);
    // Closes and removes the temporary file with the final status; the lock is held.
    void abandonLocked(short status);
    // The status a failed write or sync with this errno stands for.
    short failureOf(int error) const;

    std::mutex m_mutex;
    std::string m_strPath, m_strTemp;
    int m_fd;
    SNDFILE* m_file = nullptr;
    uint64_t m_nToken = 0;
    int m_nWriteErrno = 0;  // the first write that failed
    int64_t m_nFrames = 0;
    int64_t m_nMaxFrames = -1;  // what the format can count; -1 for no limit
    bool m_bClosed = false;
    std::shared_ptr<SaveProgress> m_progress;
};

}  // namespace synth
