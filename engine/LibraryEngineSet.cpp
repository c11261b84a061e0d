#include "engine/LibraryEngineSet.h"

namespace engine {
namespace {

struct LibraryName {
    const char* file;
    const char* suffix;
};
constexpr LibraryName kLibraries[4] = {
    {"vt_jpn.so", "JPN"}, {"vt_eng.so", "ENG"}, {"vt_chi.so", "CHI"}, {"vt_kor.so", "KOR"}};

}  // namespace

int SpeakerNumber(int language) {
    switch (language) {
        case kChinese: return 2;
        case kKorean: return 10;
        default: return 0;
    }
}

int ReadingTextForm(int language) {
    switch (language) {
        case kJapanese: return 2;
        case kChinese: return 1;
        default: return 0;
    }
}

LibraryEngineSet::LibraryEngineSet(const std::string& programDir) {
    for (int i = 0; i < 4; ++i) {
        std::string error;
        m_libs[i] = EngineLibrary::Open(programDir + kLibraries[i].file, kLibraries[i].suffix, &error);
        if (!m_libs[i]) m_problems[i] = error;
    }
}

const std::string& LibraryEngineSet::Problem(int language) const {
    static const std::string kNone;
    return IsEngineLanguage(language) ? m_problems[language - kJapanese] : kNone;
}

const EngineFunctions* LibraryEngineSet::Lib(int language) const {
    if (!IsEngineLanguage(language) || !m_libs[language - kJapanese]) return nullptr;
    return &m_libs[language - kJapanese]->Functions();
}

short LibraryEngineSet::Load(int language, std::intptr_t window, int speaker,
                             const char* engineDir) {
    const EngineFunctions* f = Lib(language);
    return f ? f->load(window, speaker, engineDir, 0, -1, 0) : short(-1);
}

void LibraryEngineSet::Unload(int language, int speaker) {
    if (const EngineFunctions* f = Lib(language)) f->unload(speaker);
}

void LibraryEngineSet::GetInfo(int language, int code, int* value) {
    if (const EngineFunctions* f = Lib(language)) f->getInfo(code, 0, value, sizeof(int));
}

short LibraryEngineSet::LoadUserDict(int language, const char* path) {
    const EngineFunctions* f = Lib(language);
    return f ? f->loadUserDict(0, path) : short(0);
}

void LibraryEngineSet::UnloadUserDict(int language) {
    if (const EngineFunctions* f = Lib(language)) f->unloadUserDict(0);
}

void LibraryEngineSet::Play(int language, std::intptr_t window, const char* text, int speaker,
                            int pitch, int speed, int volume, int textForm) {
    if (const EngineFunctions* f = Lib(language))
        f->play(window, 0, text, speaker, pitch, speed, volume, kPlayReserved, textForm, 1);
}

void LibraryEngineSet::Stop(int language) {
    if (const EngineFunctions* f = Lib(language)) f->stop();
}

void LibraryEngineSet::Pause(int language) {
    if (const EngineFunctions* f = Lib(language)) f->pause();
}

void LibraryEngineSet::Restart(int language) {
    if (const EngineFunctions* f = Lib(language)) f->restart();
}

}  // namespace engine
