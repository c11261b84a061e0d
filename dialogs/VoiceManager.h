#pragma once
// The logic of the voice manager (声の管理): which voice speaks each language, the built-in
// one or one the user added, and adding and removing added voices. Plain C++ over the
// settings hive and the voices folder; the Qt window only shows it.

#include <string>
#include <vector>

#include "platform/RegistryHive.h"
#include "synth/backend/sherpa/VoiceLibrary.h"

namespace dialogs {

struct VoiceRow {
    std::string name;   // the `Voice` value that chooses it; empty for the built-in voice
    std::string label;  // what the list shows (UTF-8)
    bool usable = true;
};

class VoiceManager {
  public:
    VoiceManager(platform::RegistryHive& hive, std::string voicesFolder);

    const std::string& Folder() const { return m_strFolder; }
    // Reads the voices folder again (after a change made elsewhere).
    void Refresh();
    // The built-in voice first, then every added voice that speaks language 7..10, then
    // those that cannot be used at all, labelled with the reason, so that they can be removed.
    std::vector<VoiceRow> Rows(int language) const;
    // The row that speaks the language now: a value naming a voice that is gone or unusable
    // means the built-in voice, as it does when reading.
    std::size_t ChosenRow(int language) const;
    // Keeps the choice (an unusable voice is not chosen); false when it is not kept.
    bool Choose(int language, const std::string& name);
    // Unpacks a downloaded archive into the voices folder.
    synth::UnpackResult Add(const std::string& archive);
    // Removes an added voice; the languages it spoke go back to their built-in voices. The
    // message (Japanese) says what went wrong.
    bool Remove(const std::string& name, std::string* message);

  private:
    platform::RegistryHive& m_hive;
    std::string m_strFolder;
    std::vector<synth::AddedVoice> m_voices;
};

}  // namespace dialogs
