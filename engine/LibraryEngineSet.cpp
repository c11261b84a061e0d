#include "engine/LibraryEngineSet.h"

namespace engine {

LibraryEngineSet::LibraryEngineSet(const std::string& programDir) {
    for (const LanguageInfo& lang : Languages()) {
        const int i = LanguageIndex(lang.number);
        std::string error;
        m_libs[i] = EngineLibrary::Open(programDir + lang.library + ".so", lang.suffix, &error);
        if (!m_libs[i]) m_problems[i] = error;
    }
}

const std::string& LibraryEngineSet::Problem(int language) const {
    static const std::string kNone;
    const int i = LanguageIndex(language);
    return i < 0 ? kNone : m_problems[i];
}

const EngineFunctions* LibraryEngineSet::Lib(int language) const {
    const int i = LanguageIndex(language);
    if (i < 0 || !m_libs[i]) return nullptr;
    return &m_libs[i]->Functions();
}

short LibraryEngineSet::Load(int language, std::intptr_t window, int speaker,
                             const char* engineDir) {
    const EngineFunctions* f = Lib(language);
    const short status = f ? f->load(window, speaker, engineDir, 0, -1, 0) : short(-1);
    // Told now too, so that an added voice's model loads before the first reading.
    if (status == 0) TellOptions(language);
    return status;
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
    TellOptions();
    if (const EngineFunctions* f = Lib(language))
        f->play(window, 0, text, speaker, pitch, speed, volume, kPlayReserved, textForm, 1);
}

void LibraryEngineSet::PlayUtf8(int language, std::intptr_t window, const char* utf8, int speaker,
                                const VtVoiceProsody* prosody) {
    TellOptions();
    if (const EngineFunctions* f = Lib(language))
        f->playUtf8(window, utf8, speaker, prosody, static_cast<int>(kLanguageCount), 0);
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

bool LibraryEngineSet::Position(int language, HeardPosition* position) {
    const EngineFunctions* f = Lib(language);
    if (!f || !position) return false;
    VtPosition p{};
    char sentence[2048];  // sentences are at most 200 characters
    const bool heard = f->getPosition(&p, sentence, sizeof sentence) == 1;
    *position = HeardPosition{};
    if (!heard) return false;
    *position = {p.sentenceStart, p.sentenceEnd, p.previousStart, p.wordStart,
                 p.wordEnd,       p.heardMs,     sentence};
    return true;
}

bool LibraryEngineSet::PlayFrom(int language, int offset) {
    const EngineFunctions* f = Lib(language);
    return f && f->playFrom(offset) == 1;
}

void LibraryEngineSet::SetSpeed(int language, int speed) {
    if (const EngineFunctions* f = Lib(language)) f->setSpeed(speed);
}

short LibraryEngineSet::SaveToFile(int language, const char* text, int pitch, int speed, int volume,
                                   const char* path, int format) {
    const EngineFunctions* f = Lib(language);
    if (!f || !f->save) return VT_SAVE_UNAVAILABLE;
    TellOptions();
    return f->save(text, pitch, speed, volume, path, format);
}

short LibraryEngineSet::SaveStatus(int language, int* permille) {
    const EngineFunctions* f = Lib(language);
    if (!f || !f->saveStatus) return VT_SAVE_UNAVAILABLE;
    return f->saveStatus(permille);
}

bool LibraryEngineSet::SetOption(int language, const char* name, const char* value) {
    const EngineFunctions* f = Lib(language);
    return f && f->setOption && name && value && f->setOption(name, value) == 1;
}

void LibraryEngineSet::TellOptions(int language) {
    if (!m_options) return;
    for (const auto& [name, value] : m_options(language))
        SetOption(language, name.c_str(), value.c_str());
}

// Every language's, since a text that mixes scripts is read with each run's own language.
void LibraryEngineSet::TellOptions() {
    for (const LanguageInfo& lang : Languages()) TellOptions(lang.number);
}

}  // namespace engine
