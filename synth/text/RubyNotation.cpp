#include "synth/text/RubyNotation.h"

#include <cstdint>

#include "platform/Utf8.h"

namespace synth {
namespace {

bool isKana(uint32_t c) {
    return (c >= 0x3041 && c <= 0x309F) || (c >= 0x30A0 && c <= 0x30FF);
}

// Counts characters, false past `most` or at a mark or line break.
bool plainRun(std::string_view s, std::size_t most, bool kanaOnly) {
    std::size_t count = 0, i = 0;
    while (i < s.size()) {
        std::size_t len = 0;
        const uint32_t c = utf8::DecodeAt(s, i, &len);
        // A sentence or clause end inside would let the sentence split cut the annotation.
        if (++count > most || (kanaOnly && !isKana(c)) ||
            std::u32string_view(U"\n\r。！？!?、，,").find(c) != std::u32string_view::npos)
            return false;
        i += len;
    }
    return count > 0 && s.find(kRubyBaseMark) == std::string_view::npos &&
           s.find(kRubyOpen) == std::string_view::npos &&
           s.find(kRubyClose) == std::string_view::npos;
}

struct Annotation {
    std::string_view base, reading;
    std::size_t end = 0;  // past the closing mark
};

// An annotation at text[at] (its base mark), if one stands there.
bool annotationAt(std::string_view text, std::size_t at, Annotation& out) {
    const std::size_t baseStart = at + kRubyBaseMark.size();
    // Bounded look-ahead: a base is at most kMaxRubyBase characters of at most 4 bytes.
    const std::size_t open =
        text.substr(0, baseStart + kMaxRubyBase * 4 + kRubyOpen.size()).find(kRubyOpen, baseStart);
    if (open == std::string_view::npos) return false;
    const std::size_t readingStart = open + kRubyOpen.size();
    const std::size_t close = text.substr(0, readingStart + kMaxRubyReading * 4 + kRubyClose.size())
                                  .find(kRubyClose, readingStart);
    if (close == std::string_view::npos) return false;
    out.base = text.substr(baseStart, open - baseStart);
    out.reading = text.substr(readingStart, close - readingStart);
    out.end = close + kRubyClose.size();
    return plainRun(out.base, kMaxRubyBase, false) && isRubyReading(out.reading);
}

std::string replaceAnnotations(std::string_view text, bool said) {
    std::string out;
    out.reserve(text.size());
    std::size_t done = 0, at = 0;
    while ((at = text.find(kRubyBaseMark, at)) != std::string_view::npos) {
        Annotation a;
        if (!annotationAt(text, at, a)) {
            at += kRubyBaseMark.size();
            continue;
        }
        out.append(text, done, at - done);
        out.append(said ? a.reading : a.base);
        done = at = a.end;
    }
    out.append(text, done);
    return out;
}

}  // namespace

bool isRubyReading(std::string_view reading) {
    return plainRun(reading, kMaxRubyReading, true);
}

std::string annotateRuby(std::string_view base, std::string_view reading) {
    if (!plainRun(base, kMaxRubyBase, false) || !isRubyReading(reading)) return std::string(base);
    std::string out;
    out.append(kRubyBaseMark).append(base).append(kRubyOpen).append(reading).append(kRubyClose);
    return out;
}

std::string rubyShown(std::string_view text) {
    return mayHoldRuby(text) ? replaceAnnotations(text, false) : std::string(text);
}

std::string rubySaid(std::string_view text) {
    return mayHoldRuby(text) ? replaceAnnotations(text, true) : std::string(text);
}

}  // namespace synth
