#include "dialogs/About.h"

// Filled in by the build from the packages it found.
#ifndef SELVARINE_ESPEAK_VERSION
#error "SELVARINE_ESPEAK_VERSION must be defined by the build"
#endif

namespace dialogs {

std::string AboutDetailsLine() {
    return std::string("ビルド ") + SELVARINE_VERSION + " / espeak-ng " +
           SELVARINE_ESPEAK_VERSION + " / MeCab " + SELVARINE_MECAB_VERSION;
}

}  // namespace dialogs
