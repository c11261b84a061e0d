#include "synth/text/LinkScan.h"

#include <cctype>

namespace synth {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::string_view kSchemes[] = {"https://", "http://", "ftp://", "www."};
constexpr std::string_view kTrailing = ".,;:!?)]}'\"";

bool startsWithNoCase(std::string_view text, std::size_t pos, std::string_view prefix) {
    if (text.size() - pos < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[pos + i])) != prefix[i]) return false;
    return true;
}

}  // namespace

bool isLinkByte(char c) {
    switch (c) {
        case '<':
        case '>':
        case '"':
        case '`':
        case '{':
        case '}':
        case '|':
        case '\\':
        case '^':
            return false;
        default:
            return c > ' ' && c < 0x7F;
    }
}

std::size_t linkTokenEnd(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && end - pos <= kMaxLinkBytes && isLinkByte(text[end])) ++end;
    while (end > pos && kTrailing.find(text[end - 1]) != npos) --end;
    return end;
}

std::size_t linkEnd(std::string_view text, std::size_t pos, bool complete) {
    // Links follow CJK text without a space, so only an ASCII letter or digit before one
    // makes it part of a word.
    if (pos >= text.size() || std::string_view("hHwWfF").find(text[pos]) == npos ||
        (pos > 0 && std::isalnum(static_cast<unsigned char>(text[pos - 1]))))
        return pos;
    for (std::string_view scheme : kSchemes) {
        if (!startsWithNoCase(text, pos, scheme)) continue;
        std::size_t end = pos;
        while (end < text.size() && isLinkByte(text[end])) {
            if (end - pos > kMaxLinkBytes) return pos;
            ++end;
        }
        if (end == text.size() && !complete) return npos;
        return linkTokenEnd(text, pos);
    }
    return pos;
}

}  // namespace synth
