#include "synth/FrontEnd.h"

#include "synth/ChineseFrontEnd.h"
#include "synth/EnglishFrontEnd.h"
#include "synth/JapaneseReader.h"
#include "synth/KoreanFrontEnd.h"

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
