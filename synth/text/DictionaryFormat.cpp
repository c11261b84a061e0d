#include "synth/text/DictionaryFormat.h"

#include <algorithm>
#include <vector>

#include "platform/Utf8.h"

namespace synth {
namespace {

using Kind = DictionaryRecord::Kind;

// The faulty record runs to the end of the line holding `at`.
void endMalformed(std::string_view text, std::size_t at, DictionaryFault fault,
                  DictionaryRecord& record, std::size_t* pos) {
    const std::size_t nl = text.find('\n', at);
    record.kind = Kind::Malformed;
    record.fault = fault;
    record.end = nl == std::string_view::npos ? text.size() : nl;
    record.surface.clear();
    record.replacement.clear();
    *pos = record.end + 1;
}

}  // namespace

DictionaryRecord ReadDictionaryRecord(std::string_view text, std::size_t* pos, int* line) {
    const std::size_t n = text.size();
    std::size_t i = *pos;
    DictionaryRecord record;
    record.line = *line;
    record.begin = i;
    auto finish = [&] {
        const std::size_t stop = std::min(*pos, n);
        *line = record.line +
                static_cast<int>(std::count(text.begin() + static_cast<long>(record.begin),
                                            text.begin() + static_cast<long>(stop), '\n'));
        return record;
    };

    if (i < n && text[i] == '#') {
        while (i < n && text[i] != '\n') ++i;
        record.kind = Kind::Comment;
        record.end = i;
        *pos = i + 1;
        return finish();
    }
    std::vector<std::string> fields(1);
    bool blank = true;
    while (true) {
        std::string& field = fields.back();
        if (i < n && text[i] == '"') {
            blank = false;
            ++i;
            while (true) {
                if (i >= n) {
                    endMalformed(text, record.begin, DictionaryFault::UnbalancedQuote, record, pos);
                    return finish();
                }
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            if (i < n && text[i] == '\r' && (i + 1 >= n || text[i + 1] == '\n')) ++i;
            if (i < n && text[i] != ',' && text[i] != '\n') {
                endMalformed(text, i, DictionaryFault::TextAfterQuote, record, pos);
                return finish();
            }
        } else {
            while (i < n && text[i] != ',' && text[i] != '\n') {
                if (text[i] == '"') {
                    endMalformed(text, i, DictionaryFault::QuoteInUnquotedField, record, pos);
                    return finish();
                }
                // A CR is the line ending's when a LF or the end of the text follows.
                if (text[i] != '\r' || (i + 1 < n && text[i + 1] != '\n')) field += text[i];
                if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r') blank = false;
                ++i;
            }
        }
        if (i < n && text[i] == ',') {
            blank = false;
            ++i;
            fields.emplace_back();
            continue;
        }
        break;  // at the end of the line or of the text
    }
    record.end = i;
    *pos = i + 1;
    if (blank) {
        record.kind = Kind::Blank;
    } else if (fields.size() != 2) {
        record.kind = Kind::Malformed;
        record.fault = DictionaryFault::NotTwoFields;
    } else if (fields[0].empty()) {
        record.kind = Kind::Malformed;
        record.fault = DictionaryFault::EmptySurface;
    } else {
        record.kind = Kind::Entry;
        record.surface = std::move(fields[0]);
        record.replacement = std::move(fields[1]);
    }
    return finish();
}

std::string EncodeDictionaryField(std::string_view field, bool first) {
    const bool quote = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (first && (field.starts_with('#') || field.starts_with(kUtf8ByteOrderMark)));
    if (!quote) return std::string(field);
    std::string out = "\"";
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

bool ParseDictionary(std::string_view text,
                     const std::function<void(std::string&&, std::string&&)>& onEntry,
                     DictionaryError* error) {
    auto fail = [&](DictionaryFault fault, int line) {
        if (error) *error = {fault, line};
        return false;
    };
    if (text.size() > kMaxDictionaryFileSize) return fail(DictionaryFault::TooLarge, 0);
    if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
    if (!utf8::IsValid(text)) return fail(DictionaryFault::NotUtf8, 0);
    std::size_t pos = 0;
    int line = 1;
    while (pos < text.size()) {
        DictionaryRecord record = ReadDictionaryRecord(text, &pos, &line);
        if (record.kind == Kind::Malformed) return fail(record.fault, record.line);
        if (record.kind == Kind::Entry)
            onEntry(std::move(record.surface), std::move(record.replacement));
    }
    return true;
}

std::string DescribeDictionaryError(const DictionaryError& error) {
    const char* why = "";
    switch (error.fault) {
        case DictionaryFault::None:
            return "no error";
        case DictionaryFault::TooLarge:
            return "dictionary too large";
        case DictionaryFault::NotUtf8:
            return "dictionary is not valid UTF-8";
        case DictionaryFault::UnbalancedQuote:
            why = "unbalanced quote";
            break;
        case DictionaryFault::TextAfterQuote:
            why = "text after a closing quote";
            break;
        case DictionaryFault::QuoteInUnquotedField:
            why = "quote inside an unquoted field";
            break;
        case DictionaryFault::NotTwoFields:
            why = "expected surface,replacement";
            break;
        case DictionaryFault::EmptySurface:
            why = "empty surface";
            break;
    }
    return "line " + std::to_string(error.line) + ": " + why;
}

}  // namespace synth
