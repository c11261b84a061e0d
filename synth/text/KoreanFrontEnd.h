#pragma once
// Turns a Korean sentence into what the Korean voice should say. The voice reads every
// number in Sino-Korean (3개 as 삼 개), so numbers are written out in Hangul: native numerals
// before the counters that take them (세 개, 두 명, 열두 시, 두 번째), Sino-Korean before the
// others (삼십 분, 만 원, 유월), with decimals and percent spelled as they are said.

#include <string>
#include <string_view>
#include <vector>

#include "synth/text/SpeechSegment.h"

namespace synth {

std::vector<SpeechSegment> readKorean(const std::string& utf8Sentence);

// The Sino-Korean reading of an integer given as ASCII digits, e.g. 10500 -> 만오백.
std::u32string sinoKoreanNumber(std::u32string_view digits);

}  // namespace synth
