#include "platform/RegFileFormat.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <unordered_map>

#include "platform/Utf8.h"

namespace platform {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
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
        if (n == 0 || !Trim(rest.substr(n)).empty() || !utf8::IsValid(text)) return false;
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
           text.find('\r') == std::string_view::npos && utf8::IsValid(text);
}

}  // namespace

std::string RegFoldedName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(std::tolower(c));
    return out;
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
    // Keys and values found by their folded names, so a file of many keys or values parses
    // in linear time. Indexes, not pointers: the vectors grow.
    std::unordered_map<std::string, std::size_t> keyIndex;
    std::vector<std::unordered_map<std::string, std::size_t>> valueIndex;
    std::size_t current = 0;
    bool haveKey = false;
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
        if (!utf8::IsValid(line)) {
            ++report.badLines;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || !line.substr(1).starts_with(kRootPrefix)) {
                ++report.badLines;
                haveKey = false;  // values under an unknown key must not land elsewhere
                continue;
            }
            std::string path(
                line.substr(1 + kRootPrefix.size(), line.size() - 2 - kRootPrefix.size()));
            auto [it, added] = keyIndex.try_emplace(RegFoldedName(path), doc->keys.size());
            if (added) {
                doc->keys.push_back({std::move(path), {}});
                valueIndex.emplace_back();
            }
            current = it->second;
            haveKey = true;
            continue;
        }
        RegValue value;
        if (!haveKey || !ParseValueLine(line, &value)) {
            ++report.badLines;
            continue;
        }
        auto& values = doc->keys[current].values;
        auto [it, added] =
            valueIndex[current].try_emplace(RegFoldedName(value.name), values.size());
        if (added)
            values.push_back(std::move(value));
        else
            values[it->second] = std::move(value);
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
