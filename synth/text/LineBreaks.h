#pragma once
// Line breaks in copied text. Text from PDFs and e-mails is wrapped every 70 characters or
// so, so a line break ends a sentence only where the line ends in sentence punctuation, an
// empty line follows, a heading ends, or the next line starts a list item, a heading or
// another quotation level. Inside a sentence the lines are joined: a space between words,
// nothing between CJK characters, and a word hyphenated at the line end made whole again.
// Quotation marks of e-mail (`> `) and list bullets at line starts are not read.

#include <cstddef>
#include <string>
#include <string_view>

namespace synth {

// How a line starts: its quotation depth, whether it is a list item or a heading, and where
// its text begins past those marks (a byte offset).
struct LineStart {
    int quoteDepth = 0;
    bool item = false, heading = false;
    std::size_t textBegin = 0;
};

// The marks at text[pos], a line's first byte; npos when the text ends before they are
// known and more may come (`complete` false).
std::size_t readLineStart(std::string_view text, std::size_t pos, bool complete, LineStart& out);

enum class LineBreak { Joins, Ends, Unknown };

// Whether the line break at text[at] (a '\n' or '\r'; a CR LF pair is one break) ends the
// sentence. `lineBegin` is where the line before it begins, and `lineStart` says whether that
// is the start of a line (false: mid-line, after the previous sentence). Unknown when the
// answer lies in text still to come.
LineBreak lineBreakAt(std::string_view text, std::size_t lineBegin, bool lineStart, std::size_t at,
                      bool complete);

// The sentence as it is read: the marks at its line starts (its first line's only when
// `lineStart`) taken out and its lines joined.
std::string joinLines(std::string_view sentence, bool lineStart);

}  // namespace synth
