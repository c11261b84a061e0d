// Figures, not a test: another program saves the settings file in place (truncate, then write,
// as editors without atomic saves do) again and again while the hive writes it the way the
// toolbar does (a drag's change every 250 ms, a look for outside edits every second). Prints
// what the file and the hive's memory kept, and how many copies were kept aside as damaged.
//
//   settings_edit_probe [seconds]   (default 30)

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "platform/RegFileFormat.h"
#include "platform/posix/RegFileHive.h"

using namespace platform;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

// A settings file as the toolbar leaves it, about 1.2 KB in six sections.
std::string FullFile() {
    std::string t = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n";
    t += "\"language\"=dword:00000007\n\"X\"=dword:000000c8\n\"Y\"=dword:00000064\n";
    t += "\"ShowCaption\"=dword:00000001\n\"AutoLanguage\"=dword:00000001\n";
    for (const char* s : {"ReadSelection", "ReadAll", "PauseResume", "Stop"})
        t += std::string("\"Shortcut") + s + "\"=\"Ctrl+Alt+Shift+" + s[0] + "\"\n";
    for (const char* lang : {"Japanese", "English", "Chinese", "Korean"}) {
        t += std::string("\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine\\") + lang + "]\n";
        t += "\"volume\"=dword:00000064\n\"speed\"=dword:00000064\n\"pitch\"=dword:00000064\n";
        t += std::string("\"UserDicPath\"=\"/opt/selvarine/VW/VT/") + lang +
             "/M16/data-common/userdict/userdict.csv\"\n";
    }
    t += "\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine\\Chinese\\Code]\n";
    t += "\"codepage\"=dword:00000000\n";
    return t;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t Sections(const std::string& text) {
    RegDocument doc;
    ParseRegText(text, &doc);
    return doc.keys.size();
}

void SaveInPlace(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::size_t half = text.size() / 2;
    (void)!write(fd, text.data(), half);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // a slow editor
    (void)!write(fd, text.data() + half, text.size() - half);
    close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    char tmpl[] = "/tmp/selvarine-edit-probe-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string file = dir + "/Selvarine.reg";
    const std::string full = FullFile();
    const std::size_t fullSections = Sections(full);
    std::ofstream(file, std::ios::binary) << full;

    RegFileHive hive(file);
    hive.Load();
    hive.DeferWrites([] {});
    RegKey key = kNoKey;
    hive.OpenKey("SOFTWARE\\Tarnholm\\Selvarine\\Japanese", RegAccess::Write, &key);

    std::atomic<bool> stop{false};
    int saves = 0, short_looks = 0;
    std::size_t smallestBytes = full.size(), smallestSections = fullSections;
    std::thread other([&] {
        std::mt19937 random(1);
        while (!stop) {
            SaveInPlace(file, full);
            ++saves;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const std::string seen = Read(file);
            const std::size_t sections = Sections(seen);
            if (sections < fullSections) ++short_looks;
            smallestBytes = std::min(smallestBytes, seen.size());
            smallestSections = std::min(smallestSections, sections);
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 35));
        }
    });

    int writes = 0, failed = 0;
    Clock::duration longestFlush{};
    std::size_t smallestInMemory = fullSections;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    auto nextLook = Clock::now();
    for (std::uint32_t volume = 100; Clock::now() < end; ++volume) {
        SetDword(hive, key, "volume", volume);
        ++writes;
        const auto began = Clock::now();
        if (hive.Flush() != kRegOk) ++failed;
        longestFlush = std::max(longestFlush, Clock::now() - began);
        if (Clock::now() >= nextLook) {
            hive.TakeStoredChanges();
            nextLook += std::chrono::seconds(1);
        }
        std::size_t inMemory = 0;
        for (const char* k :
             {"", "\\Japanese", "\\English", "\\Chinese", "\\Korean", "\\Chinese\\Code"}) {
            RegKey probe = kNoKey;
            if (hive.OpenKey(std::string("SOFTWARE\\Tarnholm\\Selvarine") + k, RegAccess::Read,
                             &probe) == kRegOk) {
                ++inMemory;
                hive.CloseKey(probe);
            }
        }
        smallestInMemory = std::min(smallestInMemory, inMemory);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    stop = true;
    other.join();

    int copies = 0, emptyCopies = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().find(".bad") == std::string::npos) continue;
        ++copies;
        if (fs::file_size(entry.path()) == 0) ++emptyCopies;
    }
    const std::string last = Read(file);
    std::printf(
        "in-place saves by another program in %d s: %d; toolbar-like writes: %d (%d failed)\n",
        seconds, saves, writes, failed);
    std::printf("longest write (the toolbar waits for it): %.1f ms\n",
                std::chrono::duration<double, std::milli>(longestFlush).count());
    std::printf("the full file: %zu bytes, %zu sections\n", full.size(), fullSections);
    std::printf(
        "looks 5 ms after a save that found fewer sections: %d; smallest seen: %zu bytes, "
        "%zu sections\n",
        short_looks, smallestBytes, smallestSections);
    std::printf("fewest sections in the hive's memory: %zu\n", smallestInMemory);
    std::printf("copies kept aside as damaged: %d (%d empty)\n", copies, emptyCopies);
    std::printf("at the end: %zu bytes, %zu sections\n", last.size(), Sections(last));
    fs::remove_all(dir);
    return 0;
}
