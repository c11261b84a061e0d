#include "reading/EngineText.h"

#include "engine/Languages.h"
#include "reading/CChineseConv.h"
#include "reading/CodePage.h"
#include "reading/ReadingController.h"

namespace reading {
int EngineCodePage(const engine::LanguageInfo* lang, int chiCodepage) {
    if (!lang) return -1;
    if (lang->number == engine::kChinese && chiCodepage != 0 && chiCodepage != 2) return 0;
    return lang->codePage;
}

std::unique_ptr<char[]> EngineText(const std::u16string& text, const ReadingSettings& settings) {
    const engine::LanguageInfo* lang = engine::FindLanguage(settings.language);
    const int codePage = EngineCodePage(lang, settings.chiCodepage);
    const std::size_t units = ConvertedPart(text).size();
    // Start-up makes the language one of the four; any other number ends like an empty text.
    if (units == 0 || codePage < 0) return nullptr;

    // Sized from the text rather than by converting it first: no character takes more than
    // two bytes in these code pages, and QZ output is at most twice its input. The
    // conversions are bounded by the size anyway. Left uninitialised so untouched pages of a
    // huge text cost nothing.
    const std::size_t ansiSize = 2 * units + 1;
    if (codePage == 0) {
        std::unique_ptr<char[]> ansi(new char[ansiSize]);
        const std::size_t ansiLength = WideToCodePage(kAnsiCodePage, text, ansi.get(), ansiSize);
        std::unique_ptr<char[]> buffer(new char[2 * ansiLength + 2]);
        CChineseConv().ConvertQzToGb(reinterpret_cast<unsigned char*>(buffer.get()),
                                     reinterpret_cast<const unsigned char*>(ansi.get()),
                                     ansiLength);
        return buffer;
    }
    std::unique_ptr<char[]> buffer(new char[ansiSize + 1]);
    WideToCodePage(codePage, text, buffer.get(), ansiSize + 1);
    return buffer;
}

}  // namespace reading
