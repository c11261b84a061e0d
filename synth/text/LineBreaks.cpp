#include "synth/text/LineBreaks.h"

#include "platform/Utf8.h"

namespace synth {
namespace {

constexpr std::size_t npos = std::string_view::npos;

struct Bullet {
    std::string_view mark;  // UTF-8
    bool spaceAfter;        // the mark is a bullet only before a space (so -5 stays a number)
};

// List bullets; numbered items (1. 2) and headings (# to ######) are read below.
constexpr Bullet kBullets[] = {
    {"-", true},  {"*", true},  {"+", true},  {"•", false}, {"・", false},
    {"◦", false}, {"‣", false}, {"●", false}, {"○", false}, {"■", false},
    {"□", false}, {"◆", false}, {"◇", false}, {"▪", false}, {"–", true},
};

// Marks after which a line break ends the sentence.
constexpr std::u32string_view kSentenceEnds = U".!?。！？．｡:：";
constexpr std::u32string_view kClosers = U")]\"'）」』】〕》〉’”";

bool isBlank(char32_t c) {
    return c == ' ' || c == '\t' || c == U'\u3000';
}

bool isCjk(char32_t c) {
    return (c >= 0x2E80 && c <= 0x303F) || (c >= 0x3040 && c <= 0x30FF) ||
           (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0x20000 && c <= 0x3134F);
}

bool isLatin(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

bool isLower(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7);
}

// Decodes text[i], or 0 past the end.
char32_t at(std::string_view text, std::size_t i, std::size_t* len) {
    if (i >= text.size()) {
        *len = 0;
        return 0;
    }
    return utf8::DecodeAt(text, i, len);
}

}  // namespace

std::size_t readLineStart(std::string_view text, std::size_t pos, bool complete, LineStart& out) {
    out = {};
    std::size_t len;
    // A mark is known once the character after it is; a bounded look, so a line of spaces or
    // of 100,000 hyphens costs no more than a short one.
    auto more = [&](std::size_t i) { return i >= text.size() && !complete; };
    for (int guard = 0; guard < 64; ++guard) {
        const char32_t c = at(text, pos, &len);
        if (more(pos)) return npos;
        if (isBlank(c)) {
            pos += len;
        } else if (c == '>') {
            ++out.quoteDepth;
            pos += len;
        } else {
            break;
        }
    }
    const char32_t c = at(text, pos, &len);
    if (c == '#') {
        std::size_t i = pos, hashes = 0;
        while (hashes < 7 && at(text, i, &len) == '#') i += len, ++hashes;
        if (more(i)) return npos;
        if (hashes <= 6 && isBlank(at(text, i, &len))) {
            out.heading = true;
            pos = i;
        }
    } else if (c >= '0' && c <= '9') {
        std::size_t i = pos, digits = 0;
        while (digits < 4 && at(text, i, &len) >= '0' && at(text, i, &len) <= '9')
            i += len, ++digits;
        const char32_t mark = at(text, i, &len);
        if (more(i) || (digits <= 3 && (mark == '.' || mark == ')') && more(i + len))) return npos;
        if (digits <= 3 && (mark == '.' || mark == ')') && isBlank(at(text, i + len, &len))) {
            out.item = true;
            pos = i + 1;
        }
    } else {
        for (const Bullet& b : kBullets) {
            const std::string_view mark = b.mark;
            if (text.substr(pos, mark.size()) != mark) continue;
            if (b.spaceAfter && more(pos + mark.size())) return npos;
            if (b.spaceAfter && !isBlank(at(text, pos + mark.size(), &len))) break;
            out.item = true;
            pos += mark.size();
            break;
        }
    }
    while (pos < text.size() && isBlank(at(text, pos, &len))) pos += len;
    out.textBegin = pos;
    return pos;
}

LineBreak lineBreakAt(std::string_view text, std::size_t lineBegin, bool lineStart, std::size_t brk,
                      bool complete) {
    LineStart here;
    if (!lineStart || readLineStart(text, lineBegin, true, here) == npos)
        here = {0, false, false, lineBegin};
    if (here.heading) return LineBreak::Ends;
    // The last character of the line, past closing brackets and spaces.
    bool content = false, endMark = false;
    for (std::size_t i = here.textBegin, len; i < brk; i += len) {
        const char32_t c = utf8::DecodeAt(text, i, &len);
        if (isBlank(c) || kClosers.find(c) != std::u32string_view::npos) continue;
        content = true;
        endMark = kSentenceEnds.find(c) != std::u32string_view::npos;
    }
    if (!content || endMark) return LineBreak::Ends;
    std::size_t next = brk + 1;
    if (text[brk] == '\r' && next < text.size() && text[next] == '\n') ++next;
    if (next >= text.size()) return complete ? LineBreak::Ends : LineBreak::Unknown;
    LineStart there;
    const std::size_t begin = readLineStart(text, next, complete, there);
    if (begin == npos) return LineBreak::Unknown;
    if (begin >= text.size()) return LineBreak::Ends;
    const char c = text[begin];
    if (c == '\n' || c == '\r' || there.item || there.heading ||
        there.quoteDepth != here.quoteDepth)
        return LineBreak::Ends;
    return LineBreak::Joins;
}

std::string joinLines(std::string_view s, bool lineStart) {
    if (s.find_first_of("\r\n") == npos && !lineStart) return std::string(s);
    std::string out;
    out.reserve(s.size());
    bool first = true;
    std::size_t pos = 0;
    while (pos <= s.size()) {
        std::size_t end = s.find_first_of("\r\n", pos);
        if (end == npos) end = s.size();
        std::string_view line = s.substr(pos, end - pos);
        if (!first || lineStart) {
            LineStart marks;
            readLineStart(line, 0, true, marks);
            line.remove_prefix(std::min(marks.textBegin, line.size()));
        }
        while (end < s.size() && !line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (!first && !line.empty() && !out.empty()) {
            while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
            // The characters either side of the break.
            std::size_t len, prevAt = out.size() - 1;
            while (prevAt > 0 && (static_cast<unsigned char>(out[prevAt]) & 0xC0) == 0x80) --prevAt;
            const char32_t before = utf8::DecodeAt(out, prevAt, &len);
            const char32_t after = utf8::DecodeAt(line, 0, &len);
            char32_t beforeHyphen = 0;
            if (before == '-' && prevAt > 0) {
                std::size_t h = prevAt - 1;
                while (h > 0 && (static_cast<unsigned char>(out[h]) & 0xC0) == 0x80) --h;
                beforeHyphen = utf8::DecodeAt(out, h, &len);
            }
            if (before == '-' && isLatin(beforeHyphen)) {
                if (isLower(after)) out.pop_back();  // commit-⏎tee; a compound keeps its hyphen
            } else if (!(isCjk(before) && isCjk(after))) {
                out += ' ';
            }
        }
        out.append(line);
        first = false;
        if (end >= s.size()) break;
        pos = end + (s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n' ? 2 : 1);
    }
    return out;
}

}  // namespace synth
