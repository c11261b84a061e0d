#pragma once
// The user dictionary file format, read by the speech engines and by the dictionary editor
// through this one piece, so that the editor never accepts what an engine refuses.
//
// UTF-8 (an initial byte order mark is allowed), one `surface,replacement` pair a line;
// a line whose first character is `#` is a comment, blank lines are skipped. Fields follow
// RFC 4180: a field in double quotes may hold commas, line breaks and doubled quotes. Every
// record must hold exactly two fields and a non-empty surface.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace synth {

// Files above this size are refused rather than read into memory.
inline constexpr std::size_t kMaxDictionaryFileSize = 16u << 20;
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

enum class DictionaryFault {
    None,
    TooLarge,
    NotUtf8,
    UnbalancedQuote,
    TextAfterQuote,
    QuoteInUnquotedField,
    NotTwoFields,
    EmptySurface,
};

struct DictionaryRecord {
    enum class Kind { Comment, Blank, Entry, Malformed };
    Kind kind = Kind::Blank;
    int line = 1;           // where the record starts, counting from 1
    std::size_t begin = 0;  // the record is text[begin, end): its ending '\n' is excluded
    std::size_t end = 0;
    std::string surface;  // Entry
    std::string replacement;
    DictionaryFault fault = DictionaryFault::None;  // Malformed
};

// Reads the record at text[*pos] (text without its byte order mark), which starts on line
// *line, and moves both past it. A malformed record ends at the end of the line on which the
// fault was found (for an unclosed quote: the line where the record starts), so that a
// reader that goes on can resynchronise; the engine stops at the first one.
DictionaryRecord ReadDictionaryRecord(std::string_view text, std::size_t* pos, int* line);

// A field written so that ReadDictionaryRecord gives it back unchanged. `first`: the surface,
// which must not start like a comment or a byte order mark.
std::string EncodeDictionaryField(std::string_view field, bool first);

struct DictionaryError {
    DictionaryFault fault = DictionaryFault::None;
    int line = 0;  // 0 when the fault is the whole file's
};

// The engine's loader: checks size and encoding, then hands every entry in file order to
// onEntry (later entries for a surface replace earlier ones). Stops at the first fault.
bool ParseDictionary(
    std::string_view text,
    const std::function<void(std::string&& surface, std::string&& replacement)>& onEntry,
    DictionaryError* error);

// The engine's English wording of an error, "line 3: unbalanced quote".
std::string DescribeDictionaryError(const DictionaryError& error);

}  // namespace synth
