#include "synth/UserDictionary.h"

#include <algorithm>
#include <fstream>

#include "synth/DictionaryFormat.h"

namespace synth {
namespace {

bool fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

// Length of the UTF-8 sequence that starts with this byte (1 for stray bytes).
std::size_t sequenceLength(uint8_t lead) {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const uint8_t c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF)
            len = 2, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF)
            len = 3, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            len = 4, cp = c & 0x07;
        else
            return false;
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

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

uint32_t UserDictionary::child(uint32_t node, uint8_t byte) const {
    const auto& kids = m_nodes[node].children;
    auto it = std::lower_bound(kids.begin(), kids.end(), byte,
                               [](const auto& kid, uint8_t b) { return kid.first < b; });
    return it != kids.end() && it->first == byte ? it->second : 0;
}

void UserDictionary::insert(std::string_view surface, std::string replacement) {
    uint32_t node = 0;
    for (const char ch : surface) {
        const auto byte = static_cast<uint8_t>(ch);
        uint32_t next = child(node, byte);
        if (next == 0) {
            next = static_cast<uint32_t>(m_nodes.size());
            m_nodes.emplace_back();
            auto& kids = m_nodes[node].children;
            auto it = std::lower_bound(kids.begin(), kids.end(), byte,
                                       [](const auto& kid, uint8_t b) { return kid.first < b; });
            kids.insert(it, {byte, next});
        }
        node = next;
    }
    if (m_nodes[node].replacement >= 0) {
        m_replacements[m_nodes[node].replacement] = std::move(replacement);
        return;
    }
    m_nodes[node].replacement = static_cast<int32_t>(m_replacements.size());
    m_replacements.push_back(std::move(replacement));
    ++m_nEntries;
}

std::string UserDictionary::apply(std::string_view text) const {
    if (m_nEntries == 0) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        uint32_t node = 0;
        int32_t found = -1;
        std::size_t foundEnd = 0;
        for (std::size_t j = i; j < text.size(); ++j) {
            node = child(node, static_cast<uint8_t>(text[j]));
            if (node == 0) break;
            if (m_nodes[node].replacement >= 0) {
                found = m_nodes[node].replacement;
                foundEnd = j + 1;
            }
        }
        if (found >= 0) {
            out += m_replacements[found];
            i = foundEnd;
            continue;
        }
        // Advance by a whole character so a surface never matches inside another one.
        const std::size_t len =
            std::min(sequenceLength(static_cast<uint8_t>(text[i])), text.size() - i);
        out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

}  // namespace synth
