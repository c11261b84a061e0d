#include "synth/backend/sherpa/NeuralModel.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace synth {
namespace {

// Metadata is a few kilobytes; anything near this is not what we look for.
constexpr uint64_t kMaxMetadataBytes = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readVarint(std::FILE* f, uint64_t* value) {
    *value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const int c = std::fgetc(f);
        if (c == EOF) return false;
        *value |= static_cast<uint64_t>(c & 0x7f) << shift;
        if (!(c & 0x80)) return true;
    }
    return false;
}

bool readVarint(const std::string& s, std::size_t* at, uint64_t* value) {
    *value = 0;
    for (int shift = 0; shift < 64 && *at < s.size(); shift += 7) {
        const auto c = static_cast<unsigned char>(s[(*at)++]);
        *value |= static_cast<uint64_t>(c & 0x7f) << shift;
        if (!(c & 0x80)) return true;
    }
    return false;
}

// One StringStringEntryProto: key (field 1), value (field 2).
bool parseEntry(const std::string& s, std::map<std::string, std::string>* out) {
    std::string key, value;
    std::size_t at = 0;
    while (at < s.size()) {
        uint64_t tag = 0, length = 0;
        if (!readVarint(s, &at, &tag) || (tag & 7) != 2 || !readVarint(s, &at, &length) ||
            length > s.size() - at)
            return false;
        std::string field = s.substr(at, length);
        at += length;
        if (tag >> 3 == 1) key = std::move(field);
        if (tag >> 3 == 2) value = std::move(field);
    }
    (*out)[key] = value;
    return true;
}

bool isFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

std::optional<int> number(const std::map<std::string, std::string>& meta, const char* key) {
    const auto it = meta.find(key);
    if (it == meta.end()) return std::nullopt;
    int v = 0;
    const auto [end, ec] =
        std::from_chars(it->second.data(), it->second.data() + it->second.size(), v);
    if (ec != std::errc() || end != it->second.data() + it->second.size()) return std::nullopt;
    return v;
}

}  // namespace

std::optional<std::map<std::string, std::string>> readOnnxMetadata(const std::string& file,
                                                                   std::string* why) {
    File f(std::fopen(file.c_str(), "rb"));
    if (!f) {
        *why = "cannot open " + file;
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(::fileno(f.get()), &st) != 0) return std::nullopt;
    const auto size = static_cast<uint64_t>(st.st_size);
    // A ModelProto's top-level fields, the graph skipped by its length: it must end exactly
    // at the end of the file and hold an IR version (1) and a graph (7).
    std::map<std::string, std::string> meta;
    bool irVersion = false, graph = false;
    auto notOnnx = [&] {
        *why = file + " is not an ONNX model";
        return std::nullopt;
    };
    for (;;) {
        const long at = std::ftell(f.get());
        if (at < 0) return notOnnx();
        if (static_cast<uint64_t>(at) == size) break;
        uint64_t tag = 0, value = 0;
        if (!readVarint(f.get(), &tag) || tag >> 3 == 0 || tag >> 3 > 30) return notOnnx();
        switch (tag & 7) {
            case 0:
                if (!readVarint(f.get(), &value)) return notOnnx();
                if (tag >> 3 == 1) irVersion = true;
                break;
            case 2: {
                if (!readVarint(f.get(), &value)) return notOnnx();
                const long here = std::ftell(f.get());
                if (here < 0 || value > size - static_cast<uint64_t>(here)) return notOnnx();
                if (tag >> 3 == 7) graph = true;
                if (tag >> 3 == 14) {
                    if (value > kMaxMetadataBytes) return notOnnx();
                    std::string entry(value, '\0');
                    if (std::fread(entry.data(), 1, entry.size(), f.get()) != entry.size() ||
                        !parseEntry(entry, &meta))
                        return notOnnx();
                } else if (std::fseek(f.get(), static_cast<long>(value), SEEK_CUR) != 0) {
                    return notOnnx();
                }
                break;
            }
            default:
                return notOnnx();
        }
    }
    if (!irVersion || !graph) return notOnnx();
    return meta;
}

std::optional<NeuralModel> inspectNeuralModel(const std::string& folder, std::string* why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        *why = "no voice folder " + folder;
        return std::nullopt;
    }
    NeuralModel m;
    m.folder = folder;
    const fs::path dir(folder);
    if (isFile(dir / "model.onnx")) {
        m.model = (dir / "model.onnx").string();
    } else {
        std::vector<fs::path> models;
        for (const auto& entry : fs::directory_iterator(dir, ec))
            if (entry.path().extension() == ".onnx" && isFile(entry.path()))
                models.push_back(entry.path());
        if (models.size() != 1) {
            *why = models.empty() ? "no .onnx model in " + folder
                                  : "several .onnx models in " + folder + " and none is model.onnx";
            return std::nullopt;
        }
        m.model = models.front().string();
    }
    if (!isFile(dir / "tokens.txt")) {
        *why = "no tokens.txt in " + folder;
        return std::nullopt;
    }
    m.tokens = (dir / "tokens.txt").string();
    if (isFile(dir / "lexicon.txt")) m.lexicon = (dir / "lexicon.txt").string();
    if (fs::is_directory(dir / "espeak-ng-data", ec)) m.dataDir = (dir / "espeak-ng-data").string();

    const auto meta = readOnnxMetadata(m.model, why);
    if (!meta) return std::nullopt;
    // The runtime ends its process when any of these is missing.
    for (const char* key : {"sample_rate", "n_speakers", "language", "comment"})
        if (!meta->count(key)) {
            *why = m.model + " lacks the metadata \"" + key + "\" of a VITS voice";
            return std::nullopt;
        }
    const auto rate = number(*meta, "sample_rate");
    const auto speakers = number(*meta, "n_speakers");
    // Our sinks resample from any rate the field uses; outside it a model is damaged.
    if (!rate || *rate < 8000 || *rate > 48000) {
        *why = m.model + " has a sample rate outside 8000 to 48000 Hz";
        return std::nullopt;
    }
    if (!speakers || *speakers < 0) {
        *why = m.model + " has no valid speaker count";
        return std::nullopt;
    }
    m.sampleRate = *rate;
    m.speakers = std::max(1, *speakers);
    m.language = meta->at("language");
    if (m.language.empty()) {
        *why = m.model + " names no language";
        return std::nullopt;
    }
    const std::string& comment = meta->at("comment");
    if (comment.find("melo") != std::string::npos && number(*meta, "version").value_or(0) < 2) {
        *why = m.model + " is an old MeloTTS model the runtime no longer loads";
        return std::nullopt;
    }
    const auto frontend = meta->find("frontend");
    const bool characters = frontend != meta->end() && frontend->second == "characters";
    const bool phonemized = !m.dataDir.empty() && (comment.find("piper") != std::string::npos ||
                                                   comment.find("coqui") != std::string::npos ||
                                                   comment.find("icefall") != std::string::npos);
    if (!characters && !phonemized && m.lexicon.empty()) {
        *why = "no lexicon.txt in " + folder + " (nor espeak-ng-data for a Piper model)";
        return std::nullopt;
    }
    return m;
}

}  // namespace synth
