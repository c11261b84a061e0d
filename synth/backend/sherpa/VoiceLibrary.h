#pragma once
// The neural voices a user added: one folder each under the voices folder, named by the
// language's `Voice` value. Unpacking a downloaded archive is where untrusted input enters,
// so it takes plain files and folders only, inside the voice's own folder, within size
// limits, and the voice appears (by one rename) only once its model checks out; whatever
// else is in the voices folder is never touched.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "synth/backend/sherpa/NeuralModel.h"

namespace synth {

// ${XDG_DATA_HOME:-$HOME/.local/share}/selvarine/voices
std::string voicesFolder();

// A voice's name is one visible folder name: no '/', not "." or "..", no leading '.'
// (the unpacker's own folders start with one).
bool isVoiceName(const std::string& name);

// The folder the `Voice` value names; nothing for an empty or unusable name, which means the
// built-in voice.
std::optional<std::string> addedVoiceFolder(const std::string& voices, const std::string& name);

struct AddedVoice {
    std::string name;
    std::optional<NeuralModel> model;  // nothing when the folder holds no usable voice
    std::string why;                   // then, the reason
};
// Every voice folder, usable or not, sorted by name.
std::vector<AddedVoice> listAddedVoices(const std::string& voices);

// True when the model speaks `language` ("English", "Chinese", "Korean", "Japanese"): its
// language metadata names it, in any case, alone or among others.
bool speaksLanguage(const NeuralModel& model, const std::string& language);

struct UnpackLimits {
    uint64_t archiveBytes = uint64_t{1} << 30;  // the largest published voices are far smaller
    uint64_t unpackedBytes = uint64_t{2} << 30;
    std::size_t entries = 20000;  // espeak-ng-data is a few hundred
};

enum class UnpackError {
    None,
    CannotRead,   // the archive cannot be opened or read
    NotArchive,   // not an archive, or a damaged one
    TooLarge,     // beyond UnpackLimits
    UnsafePath,   // an absolute path, "..", or the same path twice
    Link,         // a symbolic or hard link
    SpecialFile,  // a device, FIFO or socket
    NotAVoice,    // unpacked, but no voice our helper can load
    Exists,       // a voice of that name is there already
    CannotWrite,  // the voices folder cannot be written (full disk, permissions)
};

struct UnpackResult {
    UnpackError error = UnpackError::None;
    std::string name;    // the voice added (its folder's name)
    std::string detail;  // the entry or reason, for the message
};

// Unpacks a voice archive (.tar.bz2, or .tar.gz/.tar.xz) into `voices`: a single top folder
// becomes the voice's folder, else one named after the archive.
UnpackResult unpackVoiceArchive(const std::string& archive, const std::string& voices,
                                const UnpackLimits& limits = {});

// The message a user reads, in Japanese.
std::string unpackMessage(const UnpackResult& result);

// Removes the voice folder `name` (never a link, never outside `voices`).
bool removeAddedVoice(const std::string& voices, const std::string& name, std::string* why);

}  // namespace synth
