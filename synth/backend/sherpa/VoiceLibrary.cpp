#include "synth/backend/sherpa/VoiceLibrary.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace synth {
namespace fs = std::filesystem;
namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool isRealDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::symlink_status(p, ec).type() == fs::file_type::directory;
}

// The entry's path as components below the voice folder; nothing when it would leave it.
std::optional<std::vector<std::string>> safeComponents(const char* path) {
    if (!path || !*path || path[0] == '/') return std::nullopt;
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = path;; ++p) {
        if (*p == '/' || *p == '\0') {
            if (part == "..") return std::nullopt;
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
            if (*p == '\0') break;
        } else {
            part.push_back(*p);
        }
    }
    return parts;
}

struct ArchiveReader {
    archive* a = archive_read_new();
    ~ArchiveReader() { archive_read_free(a); }
};

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string archiveStem(const std::string& archive) {
    std::string name = fs::path(archive).filename().string();
    for (const char* ext : {".tar.bz2", ".tar.gz", ".tar.xz", ".tbz2", ".tgz", ".tar"})
        if (name.size() > std::strlen(ext) &&
            name.compare(name.size() - std::strlen(ext), std::string::npos, ext) == 0)
            return name.substr(0, name.size() - std::strlen(ext));
    return name;
}

// Unpacks into `staging` (ours, empty); the caller removes it on failure.
UnpackResult unpackInto(const std::string& archive, const fs::path& staging,
                        const UnpackLimits& limits) {
    ArchiveReader r;
    archive_read_support_format_tar(r.a);
    archive_read_support_format_gnutar(r.a);
    archive_read_support_filter_bzip2(r.a);
    archive_read_support_filter_gzip(r.a);
    archive_read_support_filter_xz(r.a);
    if (archive_read_open_filename(r.a, archive.c_str(), 1 << 16) != ARCHIVE_OK)
        return {UnpackError::NotArchive, "",
                archive_error_string(r.a) ? archive_error_string(r.a) : ""};
    uint64_t unpacked = 0;
    std::size_t entries = 0;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        archive_entry* entry = nullptr;
        const int rc = archive_read_next_header(r.a, &entry);
        if (rc == ARCHIVE_EOF) break;
        if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN)
            return {UnpackError::NotArchive, "",
                    archive_error_string(r.a) ? archive_error_string(r.a) : ""};
        if (++entries > limits.entries) return {UnpackError::TooLarge, "", "too many files"};
        const char* name = archive_entry_pathname_utf8(entry);
        if (!name) name = archive_entry_pathname(entry);
        const std::string shown = name ? name : "?";
        const auto parts = safeComponents(name);
        if (!parts) return {UnpackError::UnsafePath, "", shown};
        if (archive_entry_hardlink(entry) || archive_entry_filetype(entry) == AE_IFLNK)
            return {UnpackError::Link, "", shown};
        const auto type = archive_entry_filetype(entry);
        if (type != AE_IFREG && type != AE_IFDIR) return {UnpackError::SpecialFile, "", shown};
        if (parts->empty()) continue;  // "./"
        // Every folder on the way is one we made: links were refused above, so no component
        // can lead elsewhere; mkdir and O_NOFOLLOW make sure of it anyway.
        fs::path at = staging;
        for (std::size_t i = 0; i + 1 < parts->size() || (type == AE_IFDIR && i < parts->size());
             ++i) {
            at /= (*parts)[i];
            if (::mkdir(at.c_str(), 0755) != 0 && (errno != EEXIST || !isRealDirectory(at)))
                return {errno == EEXIST ? UnpackError::UnsafePath : UnpackError::CannotWrite, "",
                        shown};
        }
        if (type == AE_IFDIR) continue;
        at /= parts->back();
        Fd out{::open(at.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)};
        if (out.fd < 0)
            return {errno == EEXIST ? UnpackError::UnsafePath : UnpackError::CannotWrite, "",
                    shown};
        for (;;) {
            const la_ssize_t n = archive_read_data(r.a, buffer.data(), buffer.size());
            if (n == 0) break;
            if (n < 0)
                return {UnpackError::NotArchive, "",
                        archive_error_string(r.a) ? archive_error_string(r.a) : shown};
            unpacked += static_cast<uint64_t>(n);
            if (unpacked > limits.unpackedBytes) return {UnpackError::TooLarge, "", shown};
            if (!writeAll(out.fd, buffer.data(), static_cast<std::size_t>(n)))
                return {UnpackError::CannotWrite, "", shown + ": " + std::strerror(errno)};
        }
        if (::fsync(out.fd) != 0)
            return {UnpackError::CannotWrite, "", shown + ": " + std::strerror(errno)};
    }
    if (entries == 0) return {UnpackError::NotArchive, "", "the archive is empty"};
    return {};
}

}  // namespace

std::string voicesFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && *data == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.local/share";
    }
    return base + "/selvarine/voices";
}

bool isVoiceName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos && name.size() <= 255;
}

std::optional<std::string> addedVoiceFolder(const std::string& voices, const std::string& name) {
    if (!isVoiceName(name)) return std::nullopt;
    return voices + "/" + name;
}

std::vector<AddedVoice> listAddedVoices(const std::string& voices) {
    std::vector<AddedVoice> list;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(voices, ec)) {
        const std::string name = entry.path().filename().string();
        if (!isVoiceName(name) || !entry.is_directory(ec)) continue;
        AddedVoice v{name, std::nullopt, {}};
        v.model = inspectNeuralModel(entry.path().string(), &v.why);
        list.push_back(std::move(v));
    }
    std::sort(list.begin(), list.end(),
              [](const AddedVoice& a, const AddedVoice& b) { return a.name < b.name; });
    return list;
}

bool speaksLanguage(const NeuralModel& model, const std::string& language) {
    return !language.empty() && lower(model.language).find(lower(language)) != std::string::npos;
}

UnpackResult unpackVoiceArchive(const std::string& archive, const std::string& voices,
                                const UnpackLimits& limits) {
    struct stat st {};
    if (::stat(archive.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {UnpackError::CannotRead, "", archive};
    if (static_cast<uint64_t>(st.st_size) > limits.archiveBytes)
        return {UnpackError::TooLarge, "", archive};
    std::error_code ec;
    fs::create_directories(voices, ec);
    // Unpacked beside the voices, so that the finished voice arrives by one rename.
    std::string staging = voices + "/.unpack-XXXXXX";
    if (ec || !::mkdtemp(staging.data())) return {UnpackError::CannotWrite, "", voices};
    UnpackResult result = unpackInto(archive, staging, limits);
    if (result.error == UnpackError::None) {
        // A single top folder is the voice; anything else is the voice's content.
        fs::path voice = staging;
        std::vector<fs::path> top;
        for (const auto& entry : fs::directory_iterator(staging, ec)) top.push_back(entry.path());
        if (top.size() == 1 && isRealDirectory(top.front())) voice = top.front();
        result.name = voice == fs::path(staging) ? archiveStem(archive) : voice.filename().string();
        std::string why;
        if (!isVoiceName(result.name)) {
            result.error = UnpackError::UnsafePath;
            result.detail = result.name;
        } else if (!inspectNeuralModel(voice.string(), &why)) {
            result.error = UnpackError::NotAVoice;
            result.detail = why;
        } else {
            // Never over a voice of the same name, even one made meanwhile.
            const fs::path target = fs::path(voices) / result.name;
            int rc =
                ::renameat2(AT_FDCWD, voice.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
            if (rc != 0 && errno == EINVAL) {  // a filesystem without it
                rc = fs::exists(fs::symlink_status(target, ec))
                         ? (errno = EEXIST, -1)
                         : ::rename(voice.c_str(), target.c_str());
            }
            if (rc != 0) {
                result.error = errno == EEXIST ? UnpackError::Exists : UnpackError::CannotWrite;
                result.detail = errno == EEXIST ? result.name : std::strerror(errno);
            }
        }
    }
    fs::remove_all(staging, ec);
    return result;
}

std::string unpackMessage(const UnpackResult& r) {
    const std::string d = r.detail.empty() ? "" : "\n(" + r.detail + ")";
    switch (r.error) {
        case UnpackError::None:
            return "声「" + r.name + "」を追加しました。";
        case UnpackError::CannotRead:
            return "アーカイブを読み込めません。" + d;
        case UnpackError::NotArchive:
            return "アーカイブが壊れているか、対応していない形式です。" + d;
        case UnpackError::TooLarge:
            return "アーカイブが大きすぎます。" + d;
        case UnpackError::UnsafePath:
            return "アーカイブに声のフォルダーの外を指すパスが含まれているため、展開しませんでした"
                   "。" +
                   d;
        case UnpackError::Link:
            return "アーカイブにリンクが含まれているため、展開しませんでした。" + d;
        case UnpackError::SpecialFile:
            return "アーカイブに特殊なファイルが含まれているため、展開しませんでした。" + d;
        case UnpackError::NotAVoice:
            return "アーカイブに使える声のモデルがありません。" + d;
        case UnpackError::Exists:
            return "同じ名前の声がすでにあります。先に削除してください。" + d;
        case UnpackError::CannotWrite:
            return "声のフォルダーに書き込めません。" + d;
    }
    return {};
}

bool removeAddedVoice(const std::string& voices, const std::string& name, std::string* why) {
    const auto folder = addedVoiceFolder(voices, name);
    if (!folder || !isRealDirectory(*folder)) {
        *why = "no voice folder " + name;
        return false;
    }
    std::error_code ec;
    fs::remove_all(*folder, ec);
    if (ec) *why = ec.message();
    return !ec;
}

}  // namespace synth
