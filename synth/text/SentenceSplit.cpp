#include "synth/text/SentenceSplit.h"

#include "platform/Utf8.h"
#include "synth/text/LineBreaks.h"
#include "synth/text/LinkScan.h"

namespace synth {
namespace {

bool endsSentence(char32_t cp) {
    switch (cp) {
        case '!':
        case '?':
        case U'。':
        case U'！':
        case U'？':
        case U'．':
        case U'｡':
            return true;
        default:
            return false;
    }
}

// Marks that stay with the end before them.
bool trailsEnd(char32_t cp) {
    switch (cp) {
        case '!':
        case '?':
        case '.':
        case ')':
        case ']':
        case '"':
        case '\'':
        case U'。':
        case U'！':
        case U'？':
        case U'．':
        case U'｡':
        case U'」':
        case U'』':
        case U'）':
        case U'】':
        case U'〕':
        case U'》':
        case U'〉':
        case U'’':
        case U'”':
            return true;
        default:
            return false;
    }
}

bool isSpace(char32_t cp) {
    return cp == ' ' || cp == '\t' || cp == U'\u3000';
}

bool isComma(char32_t cp) {
    return cp == ',' || cp == U'、' || cp == U'，' || cp == U'､';
}

}  // namespace

std::size_t sentenceEnd(std::string_view text, std::size_t from, bool complete, bool lineStart) {
    std::size_t lastComma = 0, lastSpace = 0, chars = 0;
    std::size_t i = from, lineBegin = from;
    while (i < text.size()) {
        if (chars >= kMaxSentenceChars) return lastComma ? lastComma : lastSpace ? lastSpace : i;
        // ? . ! inside a URL end nothing.
        if (const std::size_t link = linkEnd(text, i, complete); link != i) {
            if (link == std::string_view::npos) return link;
            chars += link - i;
            i = link;
            continue;
        }
        if (lineStart && i == lineBegin) {
            // A list item's number (1.) is no sentence end.
            LineStart marks;
            const std::size_t begin = readLineStart(text, i, complete, marks);
            if (begin == std::string_view::npos) return begin;
            if (begin >= text.size()) return complete ? text.size() : std::string_view::npos;
            if (marks.item) i = begin;
        }
        std::size_t len;
        const char32_t cp = utf8::DecodeAt(text, i, &len);
        std::size_t after = i + len;
        ++chars;
        if (cp == '\n' || cp == '\r') {
            if (cp == '\r' && after < text.size() && text[after] == '\n') ++after;
            switch (lineBreakAt(text, lineBegin, lineStart, i, complete)) {
                case LineBreak::Ends:
                    return after;
                case LineBreak::Unknown:
                    return std::string_view::npos;
                case LineBreak::Joins:
                    break;
            }
            lastSpace = lineBegin = i = after;
            lineStart = true;
            continue;
        }
        const bool mark = endsSentence(cp) || cp == '.';
        if (mark) {
            std::size_t past = after;  // past the marks that stay with this one
            while (past < text.size() && chars < kMaxSentenceChars) {
                std::size_t nextLen;
                if (!trailsEnd(utf8::DecodeAt(text, past, &nextLen))) break;
                past += nextLen;
                ++chars;
            }
            if (chars == kMaxSentenceChars) return past;
            // The marks, or what decides whether '.' ends anything, may go on in text still
            // to come.
            if (past == text.size()) return complete ? past : std::string_view::npos;
            std::size_t nextLen;
            if (cp != '.' || isSpace(utf8::DecodeAt(text, past, &nextLen))) return past;
        }
        if (isComma(cp)) lastComma = after;
        if (isSpace(cp)) lastSpace = after;
        i = after;
    }
    return complete ? text.size() : std::string_view::npos;
}

}  // namespace synth
