#include "platform/RegFileFormat.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace platform {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

// Reads a quoted string with \\ and \" escapes starting at s[0] == '"'. Returns the
// number of characters consumed, 0 on a malformed string.
size_t ReadQuoted(std::string_view s, std::string* out) {
    if (s.empty() || s[0] != '"') return 0;
    out->clear();
    for (size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') return i + 1;
        if (c == '\\') {
            if (i + 1 >= s.size()) return 0;
            char n = s[++i];
            if (n != '\\' && n != '"') return 0;
            out->push_back(n);
        } else {
            out->push_back(c);
        }
    }
    return 0;
}

bool ParseHexBytes(std::string_view s, std::vector<std::uint8_t>* out) {
    out->clear();
    s = Trim(s);
    if (s.empty()) return true;
    while (true) {
        s = Trim(s);
        unsigned v = 0;
        auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
        size_t used = static_cast<size_t>(p - s.data());
        if (ec != std::errc() || used == 0 || used > 2) return false;
        out->push_back(static_cast<std::uint8_t>(v));
        s.remove_prefix(used);
        s = Trim(s);
        if (s.empty()) return true;
        if (s[0] != ',') return false;
        s.remove_prefix(1);
    }
}

bool ParseValueLine(std::string_view line, RegValue* value) {
    size_t used = ReadQuoted(line, &value->name);
    if (used == 0) return false;
    std::string_view rest = Trim(line.substr(used));
    if (rest.empty() || rest[0] != '=') return false;
    rest = Trim(rest.substr(1));
    if (!rest.empty() && rest[0] == '"') {
        std::string text;
        size_t n = ReadQuoted(rest, &text);
        if (n == 0 || !Trim(rest.substr(n)).empty() || !IsValidUtf8(text)) return false;
        value->type = RegType::Sz;
        value->data.assign(text.begin(), text.end());
        value->data.push_back(0);
        return true;
    }
    if (rest.starts_with("dword:")) {
        std::string_view digits = rest.substr(6);
        if (digits.size() != 8) return false;
        std::uint32_t v = 0;
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
        if (ec != std::errc() || p != digits.data() + digits.size()) return false;
        value->type = RegType::Dword;
        value->data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        return true;
    }
    if (rest.starts_with("hex:")) {
        value->type = RegType::Binary;
        return ParseHexBytes(rest.substr(4), &value->data);
    }
    if (rest.starts_with("hex(")) {
        size_t close = rest.find("):");
        if (close == std::string_view::npos) return false;
        unsigned type = 0;
        auto [p, ec] = std::from_chars(rest.data() + 4, rest.data() + close, type, 16);
        if (ec != std::errc() || p != rest.data() + close) return false;
        value->type = static_cast<RegType>(type);
        return ParseHexBytes(rest.substr(close + 2), &value->data);
    }
    return false;
}

void AppendQuoted(std::string* out, std::string_view text) {
    out->push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') out->push_back('\\');
        out->push_back(c);
    }
    out->push_back('"');
}

void AppendHex(std::string* out, const std::vector<std::uint8_t>& data) {
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        if (i) out->push_back(',');
        out->append(buf);
    }
}

// A string value is written as text only when it reads back to the same bytes.
bool IsPlainString(const RegValue& v) {
    if (v.type != RegType::Sz || v.data.empty() || v.data.back() != 0) return false;
    std::string_view text(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1);
    return text.find('\0') == std::string_view::npos && text.find('\n') == std::string_view::npos &&
           text.find('\r') == std::string_view::npos && IsValidUtf8(text);
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra;
        std::uint32_t cp;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return false;
        if (i + extra >= s.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char n = static_cast<unsigned char>(s[i + k]);
            if ((n & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (n & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

bool RegNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x < 0x80) x = static_cast<unsigned char>(std::tolower(x));
        if (y < 0x80) y = static_cast<unsigned char>(std::tolower(y));
        if (x != y) return false;
    }
    return true;
}

RegParseReport ParseRegText(std::string_view text, RegDocument* doc) {
    RegParseReport report;
    doc->keys.clear();
    RegKeyData* current = nullptr;
    bool first = true;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = Trim(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (first) {
            first = false;
            if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
            report.headerOk = line == kHeader;
            if (report.headerOk) continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (!IsValidUtf8(line)) { ++report.badLines; continue; }
        if (line.front() == '[') {
            if (line.back() != ']' || !line.substr(1).starts_with(kRootPrefix)) {
                ++report.badLines;
                current = nullptr;  // values under an unknown key must not land elsewhere
                continue;
            }
            std::string path(line.substr(1 + kRootPrefix.size(), line.size() - 2 - kRootPrefix.size()));
            current = nullptr;
            for (auto& k : doc->keys)
                if (RegNamesEqual(k.path, path)) current = &k;
            if (!current) {
                doc->keys.push_back({path, {}});
                current = &doc->keys.back();
            }
            continue;
        }
        RegValue value;
        if (!current || !ParseValueLine(line, &value)) { ++report.badLines; continue; }
        bool replaced = false;
        for (auto& v : current->values)
            if (RegNamesEqual(v.name, value.name)) { v = value; replaced = true; }
        if (!replaced) current->values.push_back(std::move(value));
    }
    return report;
}

std::string FormatRegText(const RegDocument& doc) {
    std::string out = "REGEDIT4\n";
    for (const auto& key : doc.keys) {
        out += "\n[HKEY_CURRENT_USER\\" + key.path + "]\n";
        for (const auto& v : key.values) {
            AppendQuoted(&out, v.name);
            out.push_back('=');
            if (IsPlainString(v)) {
                AppendQuoted(&out, std::string_view(reinterpret_cast<const char*>(v.data.data()),
                                                    v.data.size() - 1));
            } else if (v.type == RegType::Dword && v.data.size() == 4) {
                char buf[16];
                std::uint32_t x = v.data[0] | v.data[1] << 8 | v.data[2] << 16 |
                                  static_cast<std::uint32_t>(v.data[3]) << 24;
                std::snprintf(buf, sizeof buf, "dword:%08x", x);
                out += buf;
            } else if (v.type == RegType::Binary) {
                out += "hex:";
                AppendHex(&out, v.data);
            } else {
                char buf[24];
                std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
                out += buf;
                AppendHex(&out, v.data);
            }
            out.push_back('\n');
        }
    }
    return out;
}

}  // namespace platform
