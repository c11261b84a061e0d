#include "synth/text/EnglishFrontEnd.h"

#include <string_view>

#include "platform/Utf8.h"
#include "synth/text/TextScan.h"

namespace synth {

std::vector<SpeechSegment> readEnglish(const std::string& sentence) {
    struct Currency {
        char32_t sign;
        std::u32string_view one, many, cent, cents;
    };
    static constexpr Currency kCurrencies[] = {
        {U'$', U"dollar", U"dollars", U"cent", U"cents"},
        {U'£', U"pound", U"pounds", U"penny", U"pence"},
        {U'€', U"euro", U"euros", U"cent", U"cents"},
        {U'¥', U"yen", U"yen", U"", U""},
    };
    const std::u32string text = utf8::ToUtf32(sentence);
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const Currency* currency = nullptr;
        for (const Currency& c : kCurrencies)
            if (text[i] == c.sign) currency = &c;
        auto n = currency ? scanNumber(text, i + 1) : std::nullopt;
        if (!n || n->negative) {
            out += text[i++];
            continue;
        }
        // The digits as written (the voice reads 1,200 well), then the unit; two decimals
        // are cents, other fractions stay a decimal number.
        out += text.substr(n->begin, n->end - n->begin);
        const bool cents = n->fraction.size() == 2 && !currency->cent.empty();
        if (cents) out.resize(out.size() - 3);
        out += U' ';
        out +=
            n->integer == U"1" && (cents || n->fraction.empty()) ? currency->one : currency->many;
        if (cents && n->fraction != U"00") {
            out += U' ' +
                   std::u32string(n->fraction[0] == '0' ? n->fraction.substr(1) : n->fraction) +
                   U' ';
            out += n->fraction == U"01" ? currency->cent : currency->cents;
        }
        i = n->end;
    }
    return {{false, utf8::FromUtf32(out)}};
}

}  // namespace synth
