#pragma once
// Japanese text made ready for analysis, before MeCab sees it.

#include <string>

namespace synth::ja {

// Before MeCab: width folded, numbers in full-width digits (which MeCab tags as numerals,
// unlike ASCII ones) without thousands separators, and signs that stand before a number
// moved after it, where they are said (￥100 is 100円); dates and clock times get their
// counters (10:30 is 10時30分).
std::string prepareForAnalysis(const std::string& sentence);

}  // namespace synth::ja
