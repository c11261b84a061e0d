#include "synth/text/CopiedText.h"

#include <algorithm>
#include <cctype>

#include "platform/Utf8.h"
#include "synth/text/EmojiNames.h"
#include "synth/text/EspeakSafeText.h"
#include "synth/text/LinkScan.h"

namespace synth {
namespace {

constexpr std::size_t npos = std::string_view::npos;

struct LanguageWords {
    TextReading reading;
    std::string_view linkBefore, linkAfter;  // around a URL's host
    std::string_view at;                     // an e-mail address's @
    std::string_view pause;                  // in place of a run of one symbol
    EmojiLanguage emoji;                     // whose emoji names
    // A URL's separators said whole: / ? = & # and a dot in its path.
    std::string_view slash, question, equals, amp, hash, dot;
};

constexpr LanguageWords kWords[] = {
    {TextReading::Japanese, "", "のリンク", " アット ", "、", EmojiLanguage::Japanese,
     "スラッシュ", "クエスチョン", "イコール", "アンド", "シャープ", "ドット"},
    {TextReading::English, "link to ", "", " at ", ", ", EmojiLanguage::English,
     "slash", "question mark", "equals", "and", "hash", "dot"},
    {TextReading::Mandarin, "", "的链接", " at ", "，", EmojiLanguage::Chinese,
     "斜杠", "问号", "等于", "和", "井号", "点"},
    {TextReading::Korean, "", " 링크", " 골뱅이 ", ", ", EmojiLanguage::Korean,
     "슬래시", "물음표", "이퀄", "앤드", "샵", "점"},
    {TextReading::None, "", "", " at ", ", ", EmojiLanguage::English,
     "slash", "question mark", "equals", "and", "hash", "dot"},
};

// Code points that only modify the emoji before them: variation selectors, skin tones, tags,
// and the joiner with what it joins (👩‍💻 is read by its first part).
bool modifiesEmoji(char32_t c) {
    return c == 0xFE0E || c == 0xFE0F || (c >= 0x1F3FB && c <= 0x1F3FF) ||
           (c >= 0xE0020 && c <= 0xE007F) || c == 0x20E3;
}

// Marks that end a sentence or a clause right after a link, not part of it.
constexpr std::string_view kTrailing = ".,;:!?)]}'\"";

const LanguageWords& wordsFor(TextReading reading) {
    for (const LanguageWords& w : kWords)
        if (w.reading == reading) return w;
    return kWords[std::size(kWords) - 1];
}

bool isWordByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c));
}

bool startsWithNoCase(std::string_view text, std::size_t pos, std::string_view prefix) {
    if (text.size() - pos < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[pos + i])) != prefix[i]) return false;
    return true;
}

std::string hostOf(std::string_view url) {
    std::size_t from = url.find("://");
    from = from == npos ? 0 : from + 3;
    std::string_view host = url.substr(from);
    host = host.substr(0, host.find_first_of("/?#"));
    if (const std::size_t at = host.find('@'); at != npos) host.remove_prefix(at + 1);
    host = host.substr(0, host.find(':'));
    if (startsWithNoCase(host, 0, "www.")) host.remove_prefix(4);
    return std::string(host);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The part of a URL after its host, its separators said as words and %-escapes decoded
// (Japanese page names arrive so); an escape that is no text is left out.
void spellPath(std::string_view rest, const LanguageWords& words, std::string& out) {
    auto word = [&](std::string_view w) {
        if (!out.empty() && out.back() != ' ') out += ' ';
        out.append(w) += ' ';
    };
    while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '%') {
            std::string bytes;
            std::size_t j = i;
            while (j + 2 < rest.size() && rest[j] == '%' && hexValue(rest[j + 1]) >= 0 &&
                   hexValue(rest[j + 2]) >= 0) {
                bytes += static_cast<char>(hexValue(rest[j + 1]) * 16 + hexValue(rest[j + 2]));
                j += 3;
            }
            i = std::max(j, i + 1) - 1;
            if (utf8::IsValid(bytes) &&
                std::none_of(bytes.begin(), bytes.end(),
                             [](char b) { return static_cast<unsigned char>(b) < 0x20; }))
                out += bytes;
            continue;
        }
        switch (c) {
            case '/': word(words.slash); break;
            case '?': word(words.question); break;
            case '=': word(words.equals); break;
            case '&': word(words.amp); break;
            case '#': word(words.hash); break;
            case '.': word(words.dot); break;
            case '-': case '_': case '+': case '~': case ';': case ',':
                if (!out.empty() && out.back() != ' ') out += ' ';
                break;
            default: out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
}

// A token that is an e-mail address: name@host.domain.
bool isEmail(std::string_view token) {
    const std::size_t at = token.find('@');
    return at != npos && at > 0 && token.find('@', at + 1) == npos &&
           token.find('.', at + 2) != npos && token.find('/') == npos;
}

// A path with two folders or more (/usr/share/doc, ~/a/b, C:\a\b): its last part.
std::size_t pathEnd(std::string_view text, std::size_t pos, std::string_view* last) {
    std::size_t end = pos;
    while (end < text.size() && end - pos <= kMaxLinkBytes &&
           (isLinkByte(text[end]) || text[end] == '\\'))
        ++end;
    while (end > pos && kTrailing.find(text[end - 1]) != npos) --end;
    const std::string_view path = text.substr(pos, end - pos);
    const bool rooted = path.starts_with('/') || path.starts_with("~/") ||
                        (path.size() > 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                         path[1] == ':' && path[2] == '\\');
    const auto separators =
        std::count_if(path.begin(), path.end(), [](char c) { return c == '/' || c == '\\'; });
    if (!rooted || separators < 3) return pos;
    std::string_view trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\'))
        trimmed.remove_suffix(1);
    *last = trimmed.substr(trimmed.find_last_of("/\\") + 1);
    return end;
}

bool isSymbolForRun(char32_t c) {
    // Letters, digits, CJK and the ellipsis dots are never a rule.
    if (c < 0x80) return std::ispunct(static_cast<int>(c)) && c != '.' && c != '!' && c != '?';
    return (c >= 0x2010 && c <= 0x2BFF && c != U'…') || c == U'～' || c == U'〜' || c == U'＝' ||
           c == U'－' || c == U'＊' || c == U'＿';
}

}  // namespace

bool parseLinkReading(std::string_view name, LinkReading* out) {
    constexpr std::pair<std::string_view, LinkReading> kNames[] = {
        {"all", LinkReading::All},
        {"domain", LinkReading::Domain},
        {"none", LinkReading::None},
    };
    for (const auto& [n, links] : kNames)
        if (name == n) {
            *out = links;
            return true;
        }
    return false;
}

std::string readCopiedText(std::string_view s, TextReading reading, LinkReading links) {
    const LanguageWords& words = wordsFor(reading);
    std::string out;
    out.reserve(s.size());
    bool linkLeftOut = false;
    for (std::size_t i = 0; i < s.size();) {
        const bool wordStart = i == 0 || !isWordByte(s[i - 1]);
        if (wordStart && isLinkByte(s[i])) {
            if (const std::size_t end = linkEnd(s, i, true); end > i) {
                const std::string_view url = s.substr(i, end - i);
                const std::string host = hostOf(url);
                if (links == LinkReading::All) {
                    out.append(host);
                    const std::size_t from = url.find("://");
                    const std::size_t path =
                        url.find_first_of("/?#", from == npos ? 0 : from + 3);
                    if (path != npos) spellPath(url.substr(path), words, out);
                } else if (links == LinkReading::Domain) {
                    out.append(words.linkBefore).append(host).append(words.linkAfter);
                } else {
                    linkLeftOut = true;
                }
                i = end;
                continue;
            }
            const std::size_t end = linkTokenEnd(s, i);
            if (const std::string_view token = s.substr(i, end - i); isEmail(token)) {
                const std::size_t at = token.find('@');
                out.append(token.substr(0, at)).append(words.at).append(token.substr(at + 1));
                i = end;
                continue;
            }
            std::string_view last;
            if (const std::size_t pathTo = pathEnd(s, i, &last); pathTo > i) {
                out.append(last);
                i = pathTo;
                continue;
            }
        }
        std::size_t len;
        const char32_t c = utf8::DecodeAt(s, i, &len);
        if (isSymbolForRun(c)) {
            std::size_t end = i + len, count = 1, nextLen;
            while (end < s.size() && utf8::DecodeAt(s, end, &nextLen) == c) end += nextLen, ++count;
            if (count >= 3) {
                out.append(words.pause);
                i = end;
                continue;
            }
        }
        if (c >= 0x2000 && !espeakMaySay(c)) {
            // No voice says emoji and pictographs but as a code point or a question mark: they
            // are read by their short name, once for a run of the same, or skipped.
            std::size_t end = i + len, nextLen;
            while (end < s.size()) {
                const char32_t next = utf8::DecodeAt(s, end, &nextLen);
                if (next == 0x200D && end + nextLen < s.size()) {
                    std::size_t joinedLen;
                    utf8::DecodeAt(s, end + nextLen, &joinedLen);
                    end += nextLen + joinedLen;
                } else if (next == c || modifiesEmoji(next)) {
                    end += nextLen;
                } else {
                    break;
                }
            }
            const std::string_view name = emojiName(c, words.emoji);
            // Spaces keep the name a word of its own (an accent phrase in Japanese).
            if (!out.empty() && out.back() != ' ') out += ' ';
            out.append(name);
            if (!name.empty() && end < s.size()) out += ' ';
            i = end;
            continue;
        }
        out.append(s, i, len);
        i += len;
    }
    // A sentence of symbol rules alone (a line of 100,000 hyphens is cut into many) is
    // skipped, not read as a row of pauses.
    std::string_view rest = out;
    while (!rest.empty()) {
        if (rest.front() == ' ')
            rest.remove_prefix(1);
        else if (rest.starts_with(words.pause))
            rest.remove_prefix(words.pause.size());
        else
            break;
    }
    if (rest.empty()) out.clear();
    // What is left of a sentence of links alone (a full stop, a bracket) says nothing.
    if (linkLeftOut && std::none_of(out.begin(), out.end(), [](char c) {
            return isWordByte(c) || static_cast<unsigned char>(c) >= 0x80;
        }))
        out.clear();
    return out;
}

}  // namespace synth
