#pragma once
// The settings file on disk, apart from its contents: reading it within a size limit, telling
// one version of it from another, keeping damaged versions aside, and clearing what a killed
// write left beside it.

#include <sys/stat.h>

#include <cstddef>
#include <string>

namespace platform {

// Larger files are not settings of ours.
inline constexpr std::size_t kMaxSettingsFileSize = 1u << 20;

// What tells one version of the file from another without reading it.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;  // -1: no file
    long long mtimeNs = 0;
    mode_t mode = 0;  // a chmod changes nothing else
    bool operator==(const FileId&) const = default;
    static FileId Of(const struct stat& st);
};

enum class ReadOutcome { Read, Missing, TooLarge, Failed };

// Reads a file that should be a settings file; st receives its status as opened, error the
// errno when it fails. Never blocks on a fifo in the file's place. A file whose mode denies
// its owner reading fails with EACCES even for root, so that such a file is left alone
// whoever runs the program.
ReadOutcome ReadSettingsText(const std::string& path, std::string* text, struct stat* st,
                             int* error);

// The first free name of path.bad, path.bad.1, ... path.bad.99; empty when all are taken.
std::string FreeBackupName(const std::string& path);
// Writes text to the first free backup name; its path, or empty when no copy could be made.
std::string KeepBackupCopy(const std::string& path, const std::string& text);

// A write killed between mkstemp and rename leaves path.tmp.XXXXXX behind: removes those that
// are regular files of this user.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace platform
