#include "synth/text/KoreanFrontEnd.h"

#include "platform/Utf8.h"
#include "synth/text/TextScan.h"

namespace synth {
namespace {

// Sino-Korean numbers; 일 goes unsaid before 십, 백 and 천, and before 만 alone (만, not 일만;
// but 일억).
constexpr PlaceWord kSinoPlaceWords[] = {{1, 1, U"십"}, {1, 2, U"백"}, {1, 3, U"천"}};
constexpr GroupWord kSinoGroupWords[] = {{1, 1, U""}};
constexpr NumberWords kSino{{U"영", U"일", U"이", U"삼", U"사", U"오", U"육", U"칠", U"팔", U"구"},
                            {U"", U"십", U"백", U"천"},
                            {U"", U"만", U"억", U"조"},
                            U"",
                            kSinoPlaceWords,
                            kSinoGroupWords};

// Counters that take native numerals. Longer words first where one begins another
// (시간 before 시); 개월 takes Sino-Korean and is checked before 개.
constexpr std::u32string_view kSinoBeforeNative[] = {
    U"개월", U"시간대", U"번지", U"번호", U"번 출구", U"번출구", U"번선", U"달러", U"장기"};
constexpr std::u32string_view kNativeCounters[] = {
    U"번째", U"시간", U"사람", U"마리", U"개",   U"명",   U"시", U"살",
    U"번",   U"권",   U"잔",   U"병",   U"대",   U"장",   U"벌", U"채",
    U"곳",   U"군데", U"가지", U"그릇", U"송이", U"켤레", U"달", U"줄",
    U"자루", U"컵",   U"봉지", U"상자", U"조각", U"알",   U"통"};

bool startsWith(const std::u32string& text, std::size_t pos, std::u32string_view word) {
    return text.compare(pos, word.size(), word) == 0;
}

// The native counter after a number (a space may stand between), or empty.
std::u32string_view nativeCounterAt(const std::u32string& text, std::size_t pos) {
    while (pos < text.size() && text[pos] == U' ') ++pos;
    for (std::u32string_view word : kSinoBeforeNative)
        if (startsWith(text, pos, word)) return {};
    for (std::u32string_view word : kNativeCounters)
        if (startsWith(text, pos, word)) return word;
    return {};
}

// 1 to 99 in native numerals, in the form used before a counter (한, 두, 세, 네, 스무).
std::u32string nativeNumber(long v, bool beforeCounter) {
    static constexpr std::u32string_view kTens[] = {U"",   U"열",   U"스물", U"서른", U"마흔",
                                                    U"쉰", U"예순", U"일흔", U"여든", U"아흔"};
    static constexpr std::u32string_view kOnes[] = {U"",     U"하나", U"둘",   U"셋",   U"넷",
                                                    U"다섯", U"여섯", U"일곱", U"여덟", U"아홉"};
    static constexpr std::u32string_view kOnesBefore[] = {
        U"", U"한", U"두", U"세", U"네", U"다섯", U"여섯", U"일곱", U"여덟", U"아홉"};
    const long tens = v / 10, ones = v % 10;
    if (beforeCounter && v == 20) return U"스무";
    std::u32string out(kTens[tens]);
    out += beforeCounter ? kOnesBefore[ones] : kOnes[ones];
    return out;
}

std::u32string sinoReading(const DigitNumber& n) {
    std::u32string out;
    if (n.negative) out += U"마이너스 ";
    out += sinoKoreanNumber(n.integer);
    if (!n.fraction.empty()) out += U" 점 " + spellDigits(n.fraction, kSino);
    return out;
}

void readNumber(const std::u32string& text, std::size_t& i, std::u32string& out) {
    const DigitNumber n = *scanNumber(text, i);
    i = n.end;
    const long value = n.fraction.empty() && !n.negative ? smallValue(n.integer) : -1;
    const char32_t next = i < text.size() ? text[i] : 0;
    if (next == U'%') {
        out += sinoReading(n) + U" 퍼센트";
        ++i;
        return;
    }
    if (next == U'℃' || (next == U'°' && i + 1 < text.size() && text[i + 1] == U'C')) {
        out += sinoReading(n) + U" 도";
        i += next == U'℃' ? 1 : 2;
        return;
    }
    if (n.fraction.empty() && !n.negative && n.integer.size() > 1 && n.integer[0] == '0') {
        // Telephone numbers, digit by digit with 0 as 공: 010-1234-5678.
        std::u32string spoken = spellDigits(n.integer, kSino);
        while (i + 1 < text.size() && text[i] == U'-' && isAsciiDigit(text[i + 1])) {
            const DigitNumber group = *scanNumber(text, i + 1);
            spoken += U' ' + spellDigits(group.integer, kSino);
            i = group.end;
        }
        for (char32_t& c : spoken)
            if (c == U'영') c = U'공';
        out += spoken;
        return;
    }
    // A fraction's numerator is Sino-Korean whatever follows: 이 분의 일 조각.
    const bool numerator = out.ends_with(U"분의 ");
    const std::u32string_view counter = numerator ? U"" : nativeCounterAt(text, i);
    if (value >= 1 && value <= 99 && !counter.empty()) {
        if (counter == U"번째" && value == 1)
            out += U"첫";
        else
            out += nativeNumber(value, true);
    } else if (startsWith(text, i, U"월") && (value == 6 || value == 10)) {
        out += value == 6 ? U"유" : U"시";  // 유월, 시월
        return;
    } else {
        out += sinoReading(n);
    }
    if (i < text.size() && text[i] != U' ' && (text[i] >= 0xAC00 && text[i] <= 0xD7A3)) out += U' ';
}

}  // namespace

std::u32string sinoKoreanNumber(std::u32string_view digits) {
    return readGroupsOfFour(digits, kSino);
}

std::vector<SpeechSegment> readKorean(const std::string& sentence) {
    const std::u32string text =
        spellNumberForms(sentence, {U"년 ", U"월 ", U"일", U"시 ", U"분 ", U"초"}, U"분의 ");
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        if (scanNumber(text, i))
            readNumber(text, i, out);
        else if (text[i] == U'₩' && i + 1 < text.size() && isAsciiDigit(text[i + 1])) {
            ++i;
            readNumber(text, i, out);
            out += U" 원";
        } else if (text[i] == U'$' && i + 1 < text.size() && isAsciiDigit(text[i + 1])) {
            ++i;
            readNumber(text, i, out);
            out += U" 달러";
        } else {
            out += text[i++];
        }
    }
    return {{false, utf8::FromUtf32(out)}};
}

}  // namespace synth
