#include "synth/text/FrontEnd.h"

#include "synth/text/ChineseFrontEnd.h"
#include "synth/text/EnglishFrontEnd.h"
#include "synth/text/JapaneseReader.h"
#include "synth/text/KoreanFrontEnd.h"

namespace synth {

std::vector<SpeechSegment> readForVoice(TextReading reading, JapaneseReader* reader,
                                        std::string sentence) {
    switch (reading) {
        case TextReading::Japanese:
            if (reader) return reader->read(sentence);
            break;
        case TextReading::Mandarin:
            return readChinese(sentence);
        case TextReading::Korean:
            return readKorean(sentence);
        case TextReading::English:
            return readEnglish(sentence);
        case TextReading::None:
            break;
    }
    return {{false, std::move(sentence)}};
}

}  // namespace synth
