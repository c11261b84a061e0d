#pragma once
// The texts of the About box (resource 100).

#include <string>

#include "SelvarineVersion.h"

namespace dialogs {

inline constexpr int kAboutDialog = 100;
inline constexpr const char* kAboutTitle = "バージョン情報";
inline constexpr const char* kAboutProductLine = "Selvarine 日中英韓 Ver " SELVARINE_VERSION;
// The Japanese voice's licence asks for its authors to be named.
inline constexpr const char* kAboutVoiceCredit =
    "日本語音声 Mei: © Nagoya Institute of Technology (MMDAgent Project Team), CC-BY-3.0";

// The build's version and the speech components it was built against, e.g.
// "ビルド 1.01 / espeak-ng 1.51 / MeCab 0.996".
std::string AboutDetailsLine();

}  // namespace dialogs
