#pragma once
// A voice settings dialog on fakes: the engine limits of our engines, a settings file in a
// private folder holding every key, and a program directory there.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "dialogs/VoiceSettingsDialog.h"
#include "engine/EngineStartup.h"
#include "platform/posix/RegFileHive.h"
#include "settings/Globals.h"
#include "settings/SettingsStore.h"
#include "tests/dialogs/FakeVoiceSettingsView.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakeProcessLauncher.h"
#include "tests/fakes/FakeWindowSystem.h"

class DialogFixture : public ::testing::Test {
  protected:
    DialogFixture() {
        m_appDir = m_dir + "/bin/";
        std::filesystem::create_directories(m_appDir);
        g_volumeMin = 0, g_volumeMax = 500, g_volumeDefault = 100;
        g_speedMin = 50, g_speedMax = 400, g_speedDefault = 100;
        g_pitchMin = 50, g_pitchMax = 200, g_pitchDefault = 100;
        settings::Targets t{&g_nLanguage,
                            &m_x,
                            &m_y,
                            {&g_voiceJpn, &g_voiceEng, &g_voiceChi, &g_voiceKor},
                            &g_nChiCodepage,
                            {&m_paths[0], &m_paths[1], &m_paths[2], &m_paths[3]}};
        settings::LoadSettings(m_hive, m_appDir, t);  // every key with its defaults
    }
    ~DialogFixture() override { std::filesystem::remove_all(m_dir); }

    dialogs::VoiceDialogServices Services() {
        return {m_engines,
                m_hive,
                m_messages,
                m_processes,
                m_windows,
                m_appDir,
                settings::VoiceInForceFor,
                [this](const settings::VoiceChoice& c) { settings::KeepVoiceChoice(m_hive, c); }};
    }

    // The dialog of a language, initialised on the fake view with the given path.
    std::unique_ptr<dialogs::VoiceSettingsDialog> Open(int language, const std::string& path) {
        auto dlg = dialogs::MakeVoiceSettingsDialog(language, Services());
        dlg->SetView(&m_view);
        dlg->m_userDicPath = path;
        dlg->OnInitDialog();
        return dlg;
    }

    std::optional<std::uint32_t> Dword(int language, const std::string& name) {
        std::uint32_t v = 0, size = 4;
        platform::RegKey key = platform::kNoKey;
        if (m_hive.OpenKey(settings::LanguageKey(language), platform::RegAccess::Read, &key))
            return std::nullopt;
        const bool ok = m_hive.QueryValue(key, name, nullptr, &v, &size) == platform::kRegOk;
        m_hive.CloseKey(key);
        return ok ? std::optional(v) : std::nullopt;
    }
    std::string StoredPath(int language) {
        char buf[600] = {};
        std::uint32_t size = sizeof buf;
        platform::RegKey key = platform::kNoKey;
        m_hive.OpenKey(settings::LanguageKey(language), platform::RegAccess::Read, &key);
        m_hive.QueryValue(key, "UserDicPath", nullptr, buf, &size);
        m_hive.CloseKey(key);
        return buf;
    }
    std::string MakeFile(const std::string& name, const std::string& content) {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path) << content;
        return path;
    }

    std::string m_dir = [] {
        char tmpl[] = "/tmp/selvarine-dialogs-XXXXXX";
        return std::string(mkdtemp(tmpl));
    }();
    std::string m_appDir;
    int m_x = 0, m_y = 0;
    std::string m_paths[4];
    platform::RegFileHive m_hive{m_dir + "/Selvarine.reg"};
    FakeEngineSet m_engines;
    FakeMessageBox m_messages;
    FakeProcessLauncher m_processes;
    FakeWindowSystem m_windows;
    FakeVoiceSettingsView m_view;
};
