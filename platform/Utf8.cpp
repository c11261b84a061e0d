#include "platform/Utf8.h"

#include <cstdint>

namespace utf8 {

char32_t DecodeAt(std::string_view text, std::size_t i, std::size_t* length) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    *length = 1;
    if (lead < 0x80) return lead;
    std::size_t n;
    char32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2, cp = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3, cp = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4, cp = lead & 0x07;
    else
        return kReplacement;  // a continuation byte, C0/C1 (always overlong) or F5..FF
    if (i + n > text.size()) return kReplacement;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<std::uint8_t>(text[i + k]);
        if ((c & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (c & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return kReplacement;
    *length = n;
    return cp;
}

bool IsValid(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n;
        if (DecodeAt(text, i, &n) == kReplacement && text.substr(i, n) != "\xEF\xBF\xBD")
            return false;
        i += n;
    }
    return true;
}

void Append(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u32string ToUtf32(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n;
        out.push_back(DecodeAt(text, i, &n));
        i += n;
    }
    return out;
}

std::string FromUtf32(std::u32string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char32_t cp : text) Append(out, cp);
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n;
        char32_t cp = DecodeAt(text, i, &n);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        Append(out, cp);  // a lone surrogate appends U+FFFD
    }
    return out;
}

}  // namespace utf8
