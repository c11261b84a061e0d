#include "synth/text/ja/Normalise.h"

#include "platform/Utf8.h"
#include "synth/text/TextScan.h"
#include "synth/text/ja/JapaneseReader.h"

namespace synth {
namespace ja {

std::string prepareForAnalysis(const std::string& sentence) {
    const std::u32string text =
        spellNumberForms(sentence, {U"年", U"月", U"日", U"時", U"分", U"秒"}, U"ブンノ");
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        std::u32string_view unitAfter;
        std::size_t at = i;
        if ((text[i] == U'¥' || text[i] == U'￥' || text[i] == U'$') && i + 1 < text.size() &&
            isAsciiDigit(text[i + 1])) {
            unitAfter = text[i] == U'$' ? U"ドル" : U"円";
            ++at;
        }
        auto n = scanNumber(text, at);
        if (!n) {
            const char32_t c = text[i++];
            out += c == U'%' ? U'％' : c == U'~' ? U'～' : c;
            continue;
        }
        if (n->negative) out += U"マイナス";
        for (char32_t d : n->integer) out += d - '0' + U'０';
        if (!n->fraction.empty()) out += U'．';
        for (char32_t d : n->fraction) out += d - '0' + U'０';
        out += unitAfter;
        i = n->end;
    }
    return utf8::FromUtf32(out);
}

}  // namespace ja

std::string prepareForOpenJTalk(const std::string& sentence) {
    // The analysis wants numbers in full-width digits; Open JTalk reads a decimal
    // point only between ASCII digits.
    const std::u32string text = utf8::ToUtf32(ja::prepareForAnalysis(sentence));
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        const bool digitNext = i + 1 < text.size() && text[i + 1] >= U'０' && text[i + 1] <= U'９';
        if (c >= U'０' && c <= U'９')
            out += c - U'０' + U'0';
        else if (c == U'．' && digitNext)
            out += U'.';
        else if (c == U'℃' || c == U'°')
            out += U"度";
        else if (c == U'〜' || c == U'～')
            out += U"から";
        else
            out += c;
    }
    return utf8::FromUtf32(out);
}

}  // namespace synth
