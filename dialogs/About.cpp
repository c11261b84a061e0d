#include "dialogs/About.h"

// Filled in by the build from the project and the packages it found.
#ifndef SELVARINE_BUILD_VERSION
#error "SELVARINE_BUILD_VERSION must be defined by the build"
#endif

namespace dialogs {

std::string AboutDetailsLine() {
    return std::string("ビルド ") + SELVARINE_BUILD_VERSION + " / espeak-ng " +
           SELVARINE_ESPEAK_VERSION + " / MeCab " + SELVARINE_MECAB_VERSION;
}

}  // namespace dialogs
