#include "synth/text/ChineseFrontEnd.h"

#include <array>

#include "platform/Utf8.h"
#include "synth/text/TextScan.h"

namespace synth {
namespace {

// 一 goes unsaid before 十 only at the start (十五, 一百一十); the zeros between two digits
// are one 零 (一万零三百零五).
constexpr PlaceWord kChinesePlaceWords[] = {{1, 1, U"十", true}};
constexpr NumberWords kChinese{
    {U"零", U"一", U"二", U"三", U"四", U"五", U"六", U"七", U"八", U"九"},
    {U"", U"十", U"百", U"千"},
    {U"", U"万", U"亿", U"万亿"},
    U"零",
    kChinesePlaceWords,
    {}};

// Words after which 2 is read 两 (两个, 两本), simplified and traditional forms.
constexpr std::array<std::u32string_view, 101> kMeasureWords = {
    U"个", U"個", U"位", U"只", U"隻", U"条",   U"條",   U"张",   U"張",   U"本",   U"件",
    U"次", U"天", U"年", U"岁", U"歲", U"块",   U"塊",   U"斤",   U"公斤", U"公里", U"米",
    U"辆", U"輛", U"台", U"臺", U"部", U"家",   U"种",   U"種",   U"名",   U"杯",   U"瓶",
    U"碗", U"双", U"雙", U"对", U"對", U"份",   U"篇",   U"首",   U"门",   U"門",   U"节",
    U"節", U"层", U"層", U"周", U"週", U"个月", U"個月", U"小时", U"小時", U"分钟", U"分鐘",
    U"倍", U"座", U"架", U"棵", U"片", U"头",   U"頭",   U"匹",   U"枚",   U"颗",   U"顆",
    U"句", U"封", U"间", U"間", U"所", U"把",   U"支",   U"根",   U"场",   U"場",   U"届",
    U"屆", U"项", U"項", U"批", U"套", U"盒",   U"包",   U"袋",   U"箱",   U"趟",   U"遍",
    U"圈", U"样", U"樣", U"点", U"點", U"元",   U"毛",   U"百",   U"千",   U"万",   U"萬",
    U"亿", U"億"};

bool startsWith(const std::u32string& text, std::size_t pos, std::u32string_view word) {
    return text.compare(pos, word.size(), word) == 0;
}

bool isMeasureWordAt(const std::u32string& text, std::size_t pos) {
    while (pos < text.size() && text[pos] == U' ') ++pos;
    for (std::u32string_view word : kMeasureWords)
        if (startsWith(text, pos, word)) return true;
    return false;
}

std::u32string digitByDigit(const std::u32string& digits, char32_t zero) {
    std::u32string out;
    for (char32_t d : digits)
        out += d == '0' ? std::u32string_view(&zero, 1) : kChinese.digits[d - '0'];
    return out;
}

// The integer with 两 for a leading 2 before 千, 万 and 亿, as speakers say 两千, 两万.
std::u32string readInteger(const std::u32string& digits, bool two) {
    std::u32string r = chineseNumber(digits);
    if (two && r == U"二") return U"两";
    if (r.size() >= 2 && r[0] == U'二' && (r[1] == U'千' || r[1] == U'万' || r[1] == U'亿'))
        r[0] = U'两';
    return r;
}

std::u32string readNumber(const DigitNumber& n, bool two) {
    std::u32string out;
    if (n.negative) out += U'负';
    out += readInteger(n.integer, two && n.fraction.empty() && !n.negative);
    if (!n.fraction.empty()) out += U'点' + digitByDigit(n.fraction, U'零');
    return out;
}

struct Reader {
    const std::u32string& text;
    std::u32string out;
    std::vector<SpeechSegment>& segments;

    void flush() {
        if (out.empty()) return;
        segments.push_back({false, utf8::FromUtf32(out)});
        out.clear();
    }

    // 二〇二四年三月五日; 十点三十分, 八点零五分, 两点.
    bool dateOrClock(std::size_t& i) {
        if (auto date = scanDate(text, i)) {
            out += digitByDigit(date->year, U'〇') + U"年" + chineseNumber(date->month) + U"月" +
                   chineseNumber(date->day) + U"日";
            i = date->end;
            return true;
        }
        auto clock = scanClock(text, i);
        if (!clock) return false;
        out += readInteger(clock->hour, true) + U"点";
        if (clock->minute != U"0")
            out += (clock->minute.size() == 1 ? U"零" : U"") + chineseNumber(clock->minute) + U"分";
        if (!clock->second.empty() && clock->second != U"0")
            out += chineseNumber(clock->second) + U"秒";
        i = clock->end;
        return true;
    }

    void number(std::size_t& i) {
        if (!dateOrClock(i)) plainNumber(i);
        // A range: 3-5, 3~5, 9:30-18:00.
        if (i + 1 < text.size() && (text[i] == U'-' || text[i] == U'~') &&
            isAsciiDigit(text[i + 1])) {
            out += U'到';
            ++i;
        }
    }

    void plainNumber(std::size_t& i) {
        auto n = scanNumber(text, i);
        i = n->end;
        const char32_t next = i < text.size() ? text[i] : 0;
        if (next == U'%' || next == U'‰') {
            out += n->negative ? U"负" : U"";
            n->negative = false;
            out += (next == U'%' ? U"百分之" : U"千分之") + readNumber(*n, false);
            ++i;
        } else if (next == U'年' && n->integer.size() == 4 && !n->negative && n->fraction.empty()) {
            out += digitByDigit(n->integer, U'〇');
        } else if (next == U'℃' || (next == U'°' && i + 1 < text.size() && text[i + 1] == U'C')) {
            if (n->negative) out += U"零下";
            n->negative = false;
            out += readNumber(*n, false) + U"摄氏度";
            i += next == U'℃' ? 1 : 2;
        } else if (telephone(*n, i)) {
        } else if (n->begin > 0 && isLatinLetter(text[n->begin - 1])) {
            out += digitByDigit(n->integer, U'零');  // model and flight numbers: CA981, A4
        } else {
            const bool ordinal = !out.empty() && out.back() == U'第';
            const std::u32string_view latinUnit = unitAt(i);
            out += readNumber(*n, !ordinal && (isMeasureWordAt(text, i) || !latinUnit.empty()));
            out += latinUnit;
        }
    }

    // A unit in Latin letters after a number is said in Chinese: 5公里, not 5 "kay em". The
    // Chinese unit, with i moved past the Latin one; or empty.
    std::u32string_view unitAt(std::size_t& i) {
        static constexpr std::pair<std::u32string_view, std::u32string_view> kUnits[] = {
            {U"km", U"公里"}, {U"kg", U"公斤"}, {U"cm", U"厘米"},  {U"mm", U"毫米"},
            {U"ml", U"毫升"}, {U"mL", U"毫升"}, {U"m", U"米"},     {U"g", U"克"},
            {U"L", U"升"},    {U"h", U"小时"},  {U"min", U"分钟"}, {U"s", U"秒"}};
        std::size_t pos = i;
        if (pos < text.size() && text[pos] == U' ') ++pos;
        std::size_t end = pos;
        while (end < text.size() && isLatinLetter(text[end])) ++end;
        const std::u32string_view word = std::u32string_view(text).substr(pos, end - pos);
        for (auto [latin, chinese] : kUnits) {
            if (word != latin) continue;
            i = end;
            return chinese;
        }
        return {};
    }

    // Telephone and account numbers are dictated digit by digit, 1 as 幺: long numbers, those
    // with a leading 0 or in three groups (400-820-8820), and any after 电话 or 拨打.
    bool telephone(const DigitNumber& first, std::size_t& i) {
        if (first.negative || !first.fraction.empty()) return false;
        std::size_t end = first.end, groups = 1;
        std::u32string digits = first.integer;
        while (end + 1 < text.size() && text[end] == U'-' && isAsciiDigit(text[end + 1])) {
            auto next = scanNumber(text, end + 1);
            if (!next->fraction.empty()) break;
            digits += next->integer;
            end = next->end;
            ++groups;
        }
        static constexpr std::u32string_view kCues[] = {U"电话", U"電話", U"拨打", U"撥打",
                                                        U"热线", U"熱線", U"致电", U"號碼"};
        std::size_t cue = first.begin;
        while (cue > 0 && (text[cue - 1] == U':' || text[cue - 1] == U' ')) --cue;
        bool cued = false;
        for (std::u32string_view word : kCues)
            cued = cued ||
                   (cue >= word.size() && text.compare(cue - word.size(), word.size(), word) == 0);
        if (!cued && groups < 3 && first.integer.size() <= 10 &&
            !(first.integer.size() > 4 && first.integer[0] == '0'))
            return false;
        std::u32string spoken = digitByDigit(digits, U'零');
        for (char32_t& d : spoken)
            if (d == U'一') d = U'幺';
        out += spoken;
        i = end;
        return true;
    }

    // A currency sign before a number: the number, then the unit.
    bool currency(std::size_t& i) {
        static constexpr std::pair<char32_t, std::u32string_view> kUnits[] = {
            {U'¥', U"元"}, {U'￥', U"元"}, {U'$', U"美元"}, {U'€', U"欧元"}, {U'£', U"英镑"}};
        for (auto [sign, unit] : kUnits) {
            if (text[i] != sign || i + 1 >= text.size() || !isAsciiDigit(text[i + 1])) continue;
            auto n = scanNumber(text, i + 1);
            out += readNumber(*n, false);
            out += unit;
            i = n->end;
            return true;
        }
        return false;
    }

    void latin(std::size_t& i) {
        std::size_t end = i;
        while (end < text.size()) {
            if (isLatinLetter(text[end])) {
                ++end;
            } else if ((text[end] == U' ' || text[end] == U'\'' || text[end] == U'-' ||
                        text[end] == U'.' || text[end] == U'&') &&
                       end + 1 < text.size() && isLatinLetter(text[end + 1])) {
                end += 2;
            } else {
                break;
            }
        }
        flush();
        segments.push_back({true, utf8::FromUtf32(text.substr(i, end - i))});
        i = end;
    }

    // Full-width punctuation arrives folded to ASCII, and espeak-ng pauses at an ASCII comma
    // or stop only when a space follows it (你好,我 was read without a pause).
    void punctuationOrCharacter(std::size_t& i) {
        const char32_t c = text[i++];
        out += c;
        if (std::u32string_view(U",.!?;:").find(c) != std::u32string_view::npos &&
            i < text.size() && text[i] != U' ')
            out += U' ';
    }

    void run() {
        for (std::size_t i = 0; i < text.size();) {
            const char32_t c = text[i];
            if (isLatinLetter(c))
                latin(i);
            else if (scanNumber(text, i))
                number(i);
            else if (!currency(i))
                punctuationOrCharacter(i);
        }
        flush();
    }
};

}  // namespace

std::u32string chineseNumber(std::u32string_view digits) {
    return readGroupsOfFour(digits, kChinese);
}

std::vector<SpeechSegment> readChinese(const std::string& sentence) {
    const std::u32string text = spellFractions(foldWidth(utf8::ToUtf32(sentence)), U"分之");
    std::vector<SpeechSegment> segments;
    Reader{text, {}, segments}.run();
    return segments;
}

}  // namespace synth
