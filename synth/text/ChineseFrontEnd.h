#pragma once
// Turns a Chinese sentence into what the Mandarin voice can say. The voice reads Latin
// letters as pinyin and drops or mangles digits, decimal points and %, so numbers are
// written out in characters as Mandarin readers say them, and runs of Latin letters become
// segments for the Latin voice.

#include <string>
#include <string_view>
#include <vector>

#include "synth/text/SpeechSegment.h"

namespace synth {

std::vector<SpeechSegment> readChinese(const std::string& utf8Sentence);

// The reading of an integer given as ASCII digits, e.g. 10305 -> 一万零三百零五. Longer than
// 16 digits: digit by digit.
std::u32string chineseNumber(std::u32string_view digits);

}  // namespace synth
