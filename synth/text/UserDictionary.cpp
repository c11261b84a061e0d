#include "synth/text/UserDictionary.h"

#include <algorithm>
#include <fstream>

#include "platform/Utf8.h"
#include "synth/text/DictionaryFormat.h"

namespace synth {
namespace {

bool fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

void appendLength(std::string& out, std::size_t n) {
    do {
        out.push_back(static_cast<char>((n & 0x7F) | (n > 0x7F ? 0x80 : 0)));
        n >>= 7;
    } while (n);
}

std::string_view readLengthPrefixed(std::string_view store, std::size_t* at) {
    std::size_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<uint8_t>(store[(*at)++]);
        n |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) break;
    }
    const std::string_view text = store.substr(*at, n);
    *at += n;
    return text;
}

}  // namespace

std::optional<UserDictionary> UserDictionary::parse(std::string_view text, std::string* error) {
    UserDictionary dict;
    DictionaryError why;
    const bool ok = ParseDictionary(
        text,
        [&dict](std::string&& surface, std::string&& replacement) {
            dict.insert(surface, std::move(replacement));
        },
        &why);
    if (!ok) {
        fail(error, DescribeDictionaryError(why));
        return std::nullopt;
    }
    dict.finish();
    return dict;
}

std::optional<UserDictionary> UserDictionary::load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail(error, "cannot open " + path);
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        fail(error, "cannot read " + path);
        return std::nullopt;
    }
    if (static_cast<std::size_t>(size) > kMaxFileSize) {
        fail(error, path + " is too large");
        return std::nullopt;
    }
    in.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size)) {
        fail(error, "cannot read " + path);
        return std::nullopt;
    }
    return parse(text, error);
}

std::string_view UserDictionary::surface(uint32_t entry) const {
    std::size_t at = entry;
    return readLengthPrefixed(m_store, &at);
}

std::string_view UserDictionary::replacement(uint32_t entry) const {
    std::size_t at = entry;
    readLengthPrefixed(m_store, &at);
    return readLengthPrefixed(m_store, &at);
}

void UserDictionary::insert(std::string_view surface, std::string_view replacement) {
    m_index.push_back(static_cast<uint32_t>(m_store.size()));
    appendLength(m_store, surface.size());
    m_store.append(surface);
    appendLength(m_store, replacement.size());
    m_store.append(replacement);
}

// Sorts the index by surface; of entries with the same surface the last one written stays.
// Sorted on the surfaces' first eight bytes first, so most comparisons touch no text.
void UserDictionary::finish() {
    struct Keyed {
        uint64_t prefix;
        uint32_t entry;
    };
    std::vector<Keyed> keyed(m_index.size());
    for (std::size_t i = 0; i < m_index.size(); ++i) {
        const std::string_view s = surface(m_index[i]);
        uint64_t prefix = 0;
        for (std::size_t k = 0; k < 8; ++k)
            prefix = prefix << 8 | (k < s.size() ? static_cast<uint8_t>(s[k]) : 0);
        keyed[i] = {prefix, m_index[i]};
    }
    std::sort(keyed.begin(), keyed.end(), [this](const Keyed& a, const Keyed& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const int order = surface(a.entry).compare(surface(b.entry));
        return order < 0 || (order == 0 && a.entry < b.entry);
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (i + 1 < keyed.size() && keyed[i].prefix == keyed[i + 1].prefix &&
            surface(keyed[i].entry) == surface(keyed[i + 1].entry))
            continue;
        m_index[kept++] = keyed[i].entry;
    }
    m_index.resize(kept);
    m_index.shrink_to_fit();
    m_store.shrink_to_fit();
    m_nEntries = kept;
}

std::string UserDictionary::apply(std::string_view text) const {
    if (m_nEntries == 0) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        // [lo, hi) holds the surfaces that begin with text[i, i + depth); a surface of just
        // that length sorts first in it.
        std::size_t lo = 0, hi = m_index.size(), depth = 0, foundLength = 0;
        std::string_view found;
        while (lo < hi) {
            const std::string_view first = surface(m_index[lo]);
            if (first.size() == depth) {
                found = replacement(m_index[lo]);
                foundLength = depth;
                if (++lo == hi) break;
            }
            if (i + depth == text.size()) break;
            const auto byte = static_cast<uint8_t>(text[i + depth]);
            auto at = [&](uint32_t entry) { return static_cast<uint8_t>(surface(entry)[depth]); };
            lo = static_cast<std::size_t>(
                std::partition_point(m_index.begin() + lo, m_index.begin() + hi,
                                     [&](uint32_t e) { return at(e) < byte; }) -
                m_index.begin());
            hi = static_cast<std::size_t>(
                std::partition_point(m_index.begin() + lo, m_index.begin() + hi,
                                     [&](uint32_t e) { return at(e) == byte; }) -
                m_index.begin());
            ++depth;
        }
        if (foundLength > 0) {
            out += found;
            i += foundLength;
            continue;
        }
        // Advance by a whole character so a surface never matches inside another one.
        std::size_t length = 1;
        utf8::DecodeAt(text, i, &length);
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace synth
