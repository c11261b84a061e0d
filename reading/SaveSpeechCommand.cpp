#include "reading/SaveSpeechCommand.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/EngineSet.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/Pump.h"
#include "reading/CaptureFlags.h"
#include "reading/EngineText.h"
#include "reading/Messages.h"

namespace reading {
namespace {

struct FormatRow {
    const char* extension;  // lower case, with the dot
    int format;
    const char* filter;
};
// The dialog's filters in this order; the first is also the format of a name without one.
constexpr FormatRow kFormats[] = {
    {".wav", VT_SAVE_WAV, "WAV (*.wav)"},
    {".flac", VT_SAVE_FLAC, "FLAC (*.flac)"},
    {".ogg", VT_SAVE_OGG_VORBIS, "Ogg Vorbis (*.ogg)"},
    {".mp3", VT_SAVE_MP3, "MP3 (*.mp3)"},
};

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Format(const char* pattern, const std::string& name) {
    const int n = std::snprintf(nullptr, 0, pattern, name.c_str());
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), pattern, name.c_str());
    out.resize(static_cast<std::size_t>(n));
    return out;
}

}  // namespace

SaveTarget ResolveSaveTarget(const std::string& chosen) {
    const std::string name = NameOf(chosen);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        std::string ext = name.substr(dot);
        for (char& c : ext)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        for (const FormatRow& row : kFormats)
            if (ext == row.extension) return {chosen, row.format};
    }
    return {chosen + kFormats[0].extension, kFormats[0].format};
}

SaveSpeechCommand::SaveSpeechCommand(engine::EngineSet& engines, platform::MessageBox& messages,
                                     platform::FileDialogs& dialogs, platform::Pump& pump,
                                     std::function<ReadingSettings()> settings, int& paused,
                                     std::string folder)
    : m_engines(engines),
      m_messages(messages),
      m_dialogs(dialogs),
      m_pump(pump),
      m_settings(std::move(settings)),
      m_bPaused(paused),
      m_strFolder(std::move(folder)) {}

void SaveSpeechCommand::Warn(const std::string& text) {
    m_messages.Show(text, kSaveTitle, platform::MessageKind::ToolbarWarning);
}

void SaveSpeechCommand::Save(const std::u16string& text) {
    m_nCapture = g_nCapture;
    const ReadingSettings settings = m_settings();
    const std::unique_ptr<char[]> encoded = EngineText(text, settings);
    if (!encoded) {
        Warn(kMsgNoText);
        return;
    }
    std::vector<std::string> filters;
    for (const FormatRow& row : kFormats) filters.emplace_back(row.filter);
    // Each failure asks again, so the text is lost only when the user gives up.
    while (true) {
        const std::optional<std::string> chosen =
            m_dialogs.AskSavePath(kSaveTitle, filters, m_strFolder);
        // A stop, close or read while the dialog was open ends the save as it ends a capture.
        if (!chosen || chosen->empty() || g_nCapture != m_nCapture) return;
        const SaveTarget target = ResolveSaveTarget(*chosen);
        m_strFolder = FolderOf(target.path);
        std::error_code ec;
        if (std::filesystem::is_directory(target.path, ec)) {
            Warn(Format(kMsgSaveIsFolder, NameOf(target.path)));
            continue;
        }
        if (std::filesystem::exists(std::filesystem::symlink_status(target.path, ec)) &&
            !m_dialogs.AskYesNo(Format(kMsgSaveOverwrite, NameOf(target.path)), kSaveTitle))
            continue;
        if (g_nCapture != m_nCapture) return;
        const unsigned readings = g_nReadings;
        short status = Write(encoded.get(), settings, target);
        if (status == VT_SAVE_READ_ONLY) {
            if (!m_dialogs.AskYesNo(Format(kMsgSaveReadOnly, NameOf(target.path)), kSaveTitle))
                continue;
            if (g_nCapture != m_nCapture) return;
            SaveTarget anyway = target;
            anyway.format |= VT_SAVE_REPLACE_READ_ONLY;
            status = Write(encoded.get(), settings, anyway);
        }
        // A reading in the save's place ends it (one voice does one thing at a time): the user
        // asked to hear something now, so the reading goes on, but the save is not lost
        // unsaid.
        if (status == VT_SAVE_CANCELLED && g_nReadings != readings) {
            Warn(kMsgSaveStoppedByReading);
            return;
        }
        if (!Explain(status, target)) return;
    }
}

short SaveSpeechCommand::Write(const char* text, const ReadingSettings& settings,
                               const SaveTarget& target) {
    const int language = settings.language;
    m_engines.Stop(language);
    m_bPaused = 0;
    short status = m_engines.SaveToFile(language, text, settings.pitch, settings.speed,
                                        settings.volume, target.path.c_str(), target.format);
    if (status != VT_SAVE_RUNNING) return status;

    const std::unique_ptr<platform::ProgressWindow> progress =
        m_dialogs.ShowProgress(kSaveTitle, Format(kMsgSaveProgress, NameOf(target.path)));
    const auto over = [&] { return progress->Cancelled() || g_nCapture != m_nCapture; };
    while (status == VT_SAVE_RUNNING) {
        if (!m_pump.ResponsiveWait(kPollMs, over)) {
            m_engines.Stop(language);
            // Stopped after it had finished, the file is whole and stays.
            status = m_engines.SaveStatus(language, nullptr);
            return status == VT_SAVE_DONE ? status : short(VT_SAVE_CANCELLED);
        }
        int permille = 0;
        status = m_engines.SaveStatus(language, &permille);
        progress->SetPermille(permille);
    }
    return status;
}

bool SaveSpeechCommand::Explain(short status, const SaveTarget& target) {
    switch (status) {
        case VT_SAVE_DONE:
        case VT_SAVE_CANCELLED:
            return false;
        case VT_SAVE_CANNOT_CREATE:
        case VT_SAVE_READ_ONLY: {
            const std::string name = NameOf(target.path);
            const long nameMax = ::pathconf(FolderOf(target.path).c_str(), _PC_NAME_MAX);
            if (nameMax > 0 && name.size() > static_cast<std::size_t>(nameMax))
                Warn(Format(kMsgSaveNameTooLong, name));
            else
                Warn(Format(kMsgSaveCannotCreate, FolderOf(target.path)));
            return true;
        }
        case VT_SAVE_DISK_FULL:
            Warn(kMsgSaveDiskFull);
            return true;
        case VT_SAVE_BAD_FORMAT:
            Warn(kMsgSaveBadFormat);
            return true;
        case VT_SAVE_TOO_LONG:
            Warn(kMsgSaveTooLong);
            return true;
        case VT_SAVE_WRITE_FAILED:
            Warn(kMsgSaveWriteFailed);
            return true;
        default:  // an engine that cannot save: another place would not help
            Warn(kMsgSaveUnavailable);
            return false;
    }
}

}  // namespace reading
