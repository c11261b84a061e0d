#include "synth/audio/SoundFileSink.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "engine/Diagnostics.h"
#include "engine/EngineApi.h"

namespace synth {
namespace {

// A WAV file's sizes are 32-bit: past this its header would be wrong (about 24 hours of audio
// at 24 kHz, which a megabyte of text read slowly reaches).
constexpr int64_t kWavMaxFrames = (0xFFFFFFFFll - 1024) / 2;

int sndfileFormat(int format) {
    switch (format) {
        case VT_SAVE_WAV:
            // Plain PCM: what every player reads. Its sizes are 32-bit (see write).
            return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        case VT_SAVE_FLAC:
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case VT_SAVE_OGG_VORBIS:
            return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        case VT_SAVE_MP3:
            return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
        default:
            return 0;
    }
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What is at a save's path, learnt before any synthesis: a target that cannot be replaced is
// refused now rather than at the rename, hours of synthesis later.
struct Target {
    short refusal = VT_SAVE_RUNNING;  // VT_SAVE_CANNOT_CREATE when the rename would fail
    bool replaces = false;            // a file is there, whose attributes the new one takes
    bool readOnly = false;            // that file is one we may not write
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

Target examine(const std::string& path, const std::string& folder) {
    Target t;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    struct stat at {};
    if (::lstat(path.c_str(), &at) != 0) {
        if (errno == ENAMETOOLONG || (nameMax > 0 && name.size() > std::size_t(nameMax)))
            t.refusal = VT_SAVE_CANNOT_CREATE;
        return t;
    }
    // A folder cannot be renamed over by a file.
    if (S_ISDIR(at.st_mode)) {
        t.refusal = VT_SAVE_CANNOT_CREATE;
        return t;
    }
    // In a sticky folder only the file's owner, the folder's owner or root may replace it.
    struct stat dir {};
    const uid_t me = ::geteuid();
    if (::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) && me != 0 &&
        at.st_uid != me && dir.st_uid != me) {
        t.refusal = VT_SAVE_CANNOT_CREATE;
        return t;
    }
    // Through a link, the file it names carries the attributes; a dangling link has none.
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) return t;
    t.replaces = true;
    // Permissions only: set-id bits have no business on a sound file.
    t.mode = file.st_mode & 0777;
    t.uid = file.st_uid;
    t.gid = file.st_gid;
    // Write bits, not only access(): root may write anything, but a 0444 file is still meant
    // to stay as it is.
    t.readOnly = (file.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
    return t;
}

SoundFileSink* self(void* user) {
    return static_cast<SoundFileSink*>(user);
}

SF_VIRTUAL_IO kVirtualIo = {
    [](void* u) -> sf_count_t { return self(u)->ioLength(); },
    [](sf_count_t offset, int whence, void* u) -> sf_count_t {
        return self(u)->ioSeek(offset, whence);
    },
    [](void* out, sf_count_t count, void* u) -> sf_count_t { return self(u)->ioRead(out, count); },
    [](const void* in, sf_count_t count, void* u) -> sf_count_t {
        return self(u)->ioWrite(in, count);
    },
    [](void* u) -> sf_count_t { return self(u)->ioTell(); },
};

}  // namespace

std::shared_ptr<SoundFileSink> SoundFileSink::create(const std::string& path, int format,
                                                     int sampleRate, short* status) {
    const bool replaceReadOnly = (format & VT_SAVE_REPLACE_READ_ONLY) != 0;
    format &= ~VT_SAVE_REPLACE_READ_ONLY;
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = sndfileFormat(format);
    if (info.format == 0 || sampleRate <= 0 || !sf_format_check(&info)) {
        *status = VT_SAVE_BAD_FORMAT;
        return nullptr;
    }
    if (path.empty() || path.back() == '/') {
        *status = VT_SAVE_CANNOT_CREATE;
        return nullptr;
    }
    const std::string folder = folderOf(path);
    const Target target = examine(path, folder);
    if (target.refusal != VT_SAVE_RUNNING || (target.readOnly && !replaceReadOnly)) {
        *status = target.readOnly ? short(VT_SAVE_READ_ONLY) : target.refusal;
        return nullptr;
    }
    // Beside the target, so the final rename stays on one file system; hidden, since it is
    // there only while the save runs. 0666 less the umask, as any new file of the user's.
    std::random_device random;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "/.selvarine-save-%08x.part", random());
        temp = folder + name;
        fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        *status = errno == ENOSPC || errno == EDQUOT ? VT_SAVE_DISK_FULL : VT_SAVE_CANNOT_CREATE;
        return nullptr;
    }
    if (target.replaces) {
        // The replacement is the same file to everyone else: the owner and group when we may
        // give them (root saving over a user's file; a group we are in), then the mode, which
        // a change of owner may alter. A mode we cannot set would expose a private file.
        if (::fchown(fd, target.uid, target.gid) != 0 && ::fchown(fd, -1, target.gid) != 0)
            diag::Say(diag::Level::Detail, "save: %s gets our group, not the old one",
                      path.c_str());
        if (::fchmod(fd, target.mode) != 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            *status = VT_SAVE_CANNOT_CREATE;
            return nullptr;
        }
    }
    std::shared_ptr<SoundFileSink> sink(new SoundFileSink(path, temp, fd));
    std::lock_guard lock(sink->m_mutex);
    sink->m_file = sf_open_virtual(&kVirtualIo, SFM_WRITE, &info, sink.get());
    if (!sink->m_file) {
        sink->abandonLocked(sink->m_nWriteErrno ? sink->failureOf(sink->m_nWriteErrno)
                                                : short(VT_SAVE_BAD_FORMAT));
        *status = sink->m_progress->status;
        return nullptr;
    }
    sink->m_nMaxFrames = format == VT_SAVE_WAV ? kWavMaxFrames : -1;
    *status = VT_SAVE_RUNNING;
    return sink;
}

SoundFileSink::SoundFileSink(std::string path, std::string temp, int fd)
    : m_strPath(std::move(path)),
      m_strTemp(std::move(temp)),
      m_fd(fd),
      m_progress(std::make_shared<SaveProgress>(VT_SAVE_RUNNING)) {}

SoundFileSink::~SoundFileSink() {
    std::lock_guard lock(m_mutex);
    if (!m_bClosed) abandonLocked(VT_SAVE_WRITE_FAILED);
}

void SoundFileSink::begin(uint64_t token, const std::atomic<uint64_t>& current) {
    std::lock_guard lock(m_mutex);
    if (current.load() == token && m_nToken == 0) m_nToken = token;
}

void SoundFileSink::write(uint64_t token, const int16_t* samples, std::size_t count) {
    std::lock_guard lock(m_mutex);
    if (m_bClosed || token != m_nToken || count == 0) return;
    if (m_nMaxFrames >= 0 && m_nFrames + static_cast<int64_t>(count) > m_nMaxFrames) {
        abandonLocked(VT_SAVE_TOO_LONG);
        return;
    }
    m_nFrames += static_cast<int64_t>(count);
    const sf_count_t written = sf_write_short(m_file, samples, static_cast<sf_count_t>(count));
    if (m_nWriteErrno != 0 || written != static_cast<sf_count_t>(count))
        abandonLocked(failureOf(m_nWriteErrno ? m_nWriteErrno : EIO));
}

void SoundFileSink::end(uint64_t token) {
    std::lock_guard lock(m_mutex);
    if (m_bClosed || token != m_nToken) return;
    // The encoders write their last blocks and the header only now.
    const int closed = sf_close(m_file);
    m_file = nullptr;
    if (m_nWriteErrno != 0 || closed != 0) {
        abandonLocked(failureOf(m_nWriteErrno ? m_nWriteErrno : EIO));
        return;
    }
    // Synced before the rename, so a crash never leaves a short file under the user's name.
    if (::fsync(m_fd) != 0) {
        abandonLocked(failureOf(errno));
        return;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 || ::rename(m_strTemp.c_str(), m_strPath.c_str()) != 0) {
        abandonLocked(failureOf(errno));
        return;
    }
    const int dir = ::open(folderOf(m_strPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    m_bClosed = true;
    m_progress->permille = 1000;
    m_progress->status = VT_SAVE_DONE;
}

void SoundFileSink::cancel() {
    std::lock_guard lock(m_mutex);
    if (!m_bClosed) abandonLocked(VT_SAVE_CANCELLED);
}

void SoundFileSink::abandonLocked(short status) {
    if (m_file) sf_close(m_file);
    m_file = nullptr;
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    ::unlink(m_strTemp.c_str());
    m_bClosed = true;
    m_progress->status = status;
}

short SoundFileSink::failureOf(int error) const {
    if (error == ENOSPC || error == EDQUOT) return VT_SAVE_DISK_FULL;
    struct statvfs fs {};
    if (::statvfs(folderOf(m_strPath).c_str(), &fs) == 0 && fs.f_bavail == 0)
        return VT_SAVE_DISK_FULL;
    return VT_SAVE_WRITE_FAILED;
}

int64_t SoundFileSink::ioLength() {
    struct stat st {};
    return ::fstat(m_fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t SoundFileSink::ioSeek(int64_t offset, int whence) {
    return ::lseek(m_fd, static_cast<off_t>(offset), whence);
}

int64_t SoundFileSink::ioRead(void* out, int64_t count) {
    const ssize_t n = ::read(m_fd, out, static_cast<std::size_t>(count));
    return n < 0 ? 0 : n;
}

int64_t SoundFileSink::ioWrite(const void* in, int64_t count) {
    const char* p = static_cast<const char*>(in);
    int64_t done = 0;
    while (done < count && m_nWriteErrno == 0) {
        const ssize_t n = ::write(m_fd, p + done, static_cast<std::size_t>(count - done));
        if (n > 0) {
            done += n;
        } else if (n == 0 || errno != EINTR) {
            // Kept: some encoders go on after a short write, and the save must still fail.
            m_nWriteErrno = n == 0 ? ENOSPC : errno;
        }
    }
    return done;
}

int64_t SoundFileSink::ioTell() {
    return ::lseek(m_fd, 0, SEEK_CUR);
}

}  // namespace synth
