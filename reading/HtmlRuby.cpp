#include "reading/HtmlRuby.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/Utf8.h"
#include "synth/text/RubyNotation.h"

namespace reading {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

template <std::size_t N>
bool oneOf(const std::string& name, const std::array<std::string_view, N>& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements whose content is never text on the page.
constexpr std::array<std::string_view, 6> kHidden = {"script", "style",    "template",
                                                     "head",   "noscript", "title"};
constexpr std::array<std::string_view, 18> kParagraphs = {
    "p",  "div", "h1",    "h2",         "h3",      "h4",      "h5",     "h6",     "ul",
    "ol", "dl",  "table", "blockquote", "section", "article", "header", "footer", "pre"};
constexpr std::array<std::string_view, 6> kLines = {"br", "li", "tr", "dt", "dd", "hr"};

std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        units[i] = static_cast<char16_t>(hi << 8 | lo);
    }
    return utf8::FromUtf16(units);
}

// &amp; and the other entities text needs, and numeric references; others stay as written.
std::size_t appendEntity(std::string_view s, std::size_t at, std::string& out) {
    const std::size_t semi = s.substr(0, at + 12).find(';', at);
    if (semi == std::string_view::npos) {
        out += '&';
        return at + 1;
    }
    const std::string_view name = s.substr(at + 1, semi - at - 1);
    static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    for (const auto& [entity, text] : kNamed)
        if (name == entity) {
            out += text;
            return semi + 1;
        }
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        char32_t code = 0;
        bool ok = name.size() > (hex ? 2u : 1u);
        for (char c : name.substr(hex ? 2 : 1)) {
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : hex && std::isxdigit(static_cast<unsigned char>(c))
                                  ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                  : -1;
            if (digit < 0 || code > 0x10FFFF) {
                ok = false;
                break;
            }
            code = code * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
        if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
            out += utf8::FromUtf32(std::u32string(1, code));
            return semi + 1;
        }
    }
    out += '&';
    return at + 1;
}

class Extractor {
  public:
    explicit Extractor(std::string_view html) : m_html(html) {}

    std::optional<std::string> run() {
        std::size_t i = 0;
        while (i < m_html.size()) {
            const char c = m_html[i];
            if (c == '<') {
                i = tag(i);
            } else if (c == '&') {
                std::string decoded;
                i = appendEntity(m_html, i, decoded);
                text(decoded);
            } else {
                const std::size_t end = std::min(m_html.find_first_of("<&", i), m_html.size());
                text(m_html.substr(i, end - i));
                i = end;
            }
        }
        endRuby();
        if (!m_bSawRuby) return std::nullopt;
        const std::size_t last = m_out.find_last_not_of(" \n");
        m_out.erase(last == std::string::npos ? 0 : last + 1);
        return std::move(m_out);
    }

  private:
    // Collapses white space as a page shows it; inside ruby it goes to the base or reading.
    void text(std::string_view s) {
        std::string* to = m_nRubyDepth == 0 ? &m_out : m_bInRt ? &m_strReading : &m_strBase;
        if (m_bInRp) return;
        for (char c : s) {
            if (isSpace(c)) {
                if (!to->empty() && to->back() != ' ' && to->back() != '\n') *to += ' ';
            } else {
                *to += c;
            }
        }
    }

    void breakLine(bool paragraph) {
        endRuby();
        while (!m_out.empty() && m_out.back() == ' ') m_out.pop_back();
        if (m_out.empty()) return;
        const std::size_t want = paragraph ? 2 : 1;
        std::size_t have = 0;
        while (have < m_out.size() && m_out[m_out.size() - 1 - have] == '\n') ++have;
        if (have < want) m_out.append(want - have, '\n');
    }

    static std::string trimmed(const std::string& s) {
        const std::size_t first = s.find_first_not_of(' ');
        if (first == std::string::npos) return {};
        return s.substr(first, s.find_last_not_of(' ') + 1 - first);
    }

    // A reading ends: it annotates the base before it. A reading without a base is read as
    // text, unless it annotates a base already said (the outer side of double ruby).
    void endReading() {
        if (!m_bInRt) return;
        m_bInRt = false;
        const std::string base = trimmed(m_strBase), reading = trimmed(m_strReading);
        if (!base.empty()) {
            m_out += synth::annotateRuby(base, reading);
            m_bRubyHadPair = true;
        } else if (!m_bRubyHadPair) {
            m_out += reading;
        }
        m_strBase.clear();
        m_strReading.clear();
    }

    void endRuby() {
        if (m_nRubyDepth == 0) return;
        endReading();
        m_out += trimmed(m_strBase);
        m_strBase.clear();
        m_nRubyDepth = 0;
        m_bInRp = false;
        m_bRubyHadPair = false;
    }

    // Skips the content of a hidden element up to its end tag (or the end of the input).
    std::size_t skipHidden(std::size_t from, const std::string& name) {
        const std::string close = "</" + name;
        std::size_t at = from;
        while ((at = m_html.find("</", at)) != std::string_view::npos) {
            if (lower(m_html.substr(at, close.size())) == close) {
                const std::size_t gt = m_html.find('>', at);
                return gt == std::string_view::npos ? m_html.size() : gt + 1;
            }
            at += 2;
        }
        return m_html.size();
    }

    // The tag at m_html[at] ('<'); returns where the text after it starts.
    std::size_t tag(std::size_t at) {
        if (m_html.substr(at, 4) == "<!--") {
            const std::size_t end = m_html.find("-->", at + 4);
            return end == std::string_view::npos ? m_html.size() : end + 3;
        }
        std::size_t i = at + 1;
        const bool closing = i < m_html.size() && m_html[i] == '/';
        if (closing) ++i;
        const std::size_t nameStart = i;
        while (i < m_html.size() && std::isalnum(static_cast<unsigned char>(m_html[i]))) ++i;
        if (i == nameStart && (i >= m_html.size() || (m_html[i] != '!' && m_html[i] != '?'))) {
            text("<");  // a lone '<' is text
            return at + 1;
        }
        const std::string name = lower(m_html.substr(nameStart, i - nameStart));
        // The tag's end, past quoted attribute values that may hold '>'.
        char quote = 0;
        while (i < m_html.size() && (quote || m_html[i] != '>')) {
            if (quote && m_html[i] == quote)
                quote = 0;
            else if (!quote && (m_html[i] == '"' || m_html[i] == '\''))
                quote = m_html[i];
            ++i;
        }
        const std::size_t next = std::min(i + 1, m_html.size());
        if (!closing && oneOf(name, kHidden)) return skipHidden(next, name);
        element(name, closing);
        return next;
    }

    void element(const std::string& name, bool closing) {
        if (name == "ruby") {
            m_bSawRuby = true;
            if (!closing)
                ++m_nRubyDepth;  // a nested ruby's pairs join the outer one's
            else if (m_nRubyDepth > 1)
                --m_nRubyDepth;
            else
                endRuby();
        } else if (m_nRubyDepth > 0 && name == "rt") {
            endReading();
            if (!closing) m_bInRt = true;
            m_bInRp = false;
        } else if (m_nRubyDepth > 0 && name == "rp") {
            endReading();
            m_bInRp = !closing;
        } else if (m_nRubyDepth > 0 && name == "rb") {
            endReading();
        } else if (oneOf(name, kParagraphs)) {
            breakLine(true);
        } else if (oneOf(name, kLines)) {
            breakLine(false);
        } else if (name == "td" || name == "th") {
            text(" ");
        }
    }

    std::string_view m_html;
    std::string m_out, m_strBase, m_strReading;
    int m_nRubyDepth = 0;
    bool m_bInRt = false, m_bInRp = false, m_bRubyHadPair = false, m_bSawRuby = false;
};

}  // namespace

std::optional<std::string> TextWithRuby(std::string_view html) {
    if (html.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(html[0]),
                   b1 = static_cast<unsigned char>(html[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF))
            return Extractor(fromUtf16(html.substr(2), b0 == 0xFE)).run();
        // UTF-16 without a byte order mark: markup starts with '<', never with a zero byte.
        if (b0 == '<' && b1 == 0) return Extractor(fromUtf16(html, false)).run();
    }
    if (html.substr(0, 3) == "\xEF\xBB\xBF") html.remove_prefix(3);
    return Extractor(html).run();
}

}  // namespace reading
