// The selection transfer and the PRIMARY selection on a private Xvfb (started and ended here),
// against owners that misbehave (SelectionOwner.c) and xclip.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11SelectionTransfer.h"
#include "tests/support/PrivateDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::x11::X11SelectionTransfer;

pid_t g_xvfb = 0;

constexpr std::size_t kCap = 8u << 20;
constexpr int kAnswerMs = 300;

std::u16string Pattern(std::size_t bytes) {
    std::u16string out(bytes, u'\0');
    for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<char16_t>(u'a' + i % 26);
    return out;
}

long PeakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

class X11Selection : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!g_xvfb) GTEST_SKIP() << "no Xvfb";
        ASSERT_TRUE(m_transfer.Ok());
    }
    void TearDown() override {
        if (m_owner) testsupport::End(m_owner);
    }
    // Starts an owner of CLIPBOARD and waits until it holds the selection.
    void Own(const std::string& mode, std::size_t bytes) {
        if (m_owner) testsupport::End(m_owner);
        const Window before = m_transfer.Owner();
        m_owner = testsupport::Spawn(
            {SELVARINE_SELECTION_OWNER, "CLIPBOARD", mode, std::to_string(bytes)});
        for (int i = 0; i < 200 && m_transfer.Owner() == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_NE(m_transfer.Owner(), before);
    }
    // Reads once and says how long it took.
    std::optional<std::u16string> Read(long long* ms) {
        const auto start = Clock::now();
        std::optional<std::u16string> text = m_transfer.ReadText();
        *ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        return text;
    }

    X11SelectionTransfer m_transfer{nullptr, {"CLIPBOARD", kAnswerMs, kCap, false}};
    pid_t m_owner = 0;
};

TEST_F(X11Selection, TransferFollowsIncrAndGivesUpOnOwnersThatStallDieOrSendTooMuch) {
    long long ms = 0;
    {
        SCOPED_TRACE("INCR, 3 MB in 64 KB parts");
        Own("incr", 3u << 20);
        const std::optional<std::u16string> text = Read(&ms);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->size(), 3u << 20);
        EXPECT_TRUE(*text == Pattern(3u << 20));
    }
    {
        SCOPED_TRACE("an owner that never answers");
        Own("silent", 10);
        EXPECT_FALSE(Read(&ms));
        EXPECT_LT(ms, kAnswerMs + 500);
    }
    {
        SCOPED_TRACE("an owner that dies after its first part");
        Own("die", 1u << 20);
        EXPECT_FALSE(Read(&ms));
        EXPECT_LT(ms, 2 * kAnswerMs + 500);
        // It really dies: its exit may trail the closed connection by a moment.
        int status = 0;
        pid_t reaped = 0;
        for (int i = 0; i < 200 && reaped == 0; ++i) {
            reaped = waitpid(m_owner, &status, WNOHANG);
            if (reaped == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(reaped, m_owner);
        m_owner = 0;
    }
    {
        SCOPED_TRACE("an owner that announces more than the cap is refused before any part");
        Own("incr", 100u << 20);
        EXPECT_FALSE(Read(&ms));
        EXPECT_LT(ms, 500);
    }
    {
        SCOPED_TRACE("100 MB under a false lower bound: the cap holds");
        const long before = PeakResidentMb();
        Own("huge", 100u << 20);
        EXPECT_FALSE(Read(&ms));
        const long growth = PeakResidentMb() - before;
        std::printf("100 MB offered, cap 8 MB: refused in %lld ms, peak resident growth %ld MB\n",
                    ms, growth);
        EXPECT_LT(growth, 40);
    }
    {
        SCOPED_TRACE("after all that, the next owner is read in full");
        Own("incr", 100000);
        const std::optional<std::u16string> text = Read(&ms);
        ASSERT_TRUE(text);
        EXPECT_TRUE(*text == Pattern(100000));
    }
}

TEST(X11PrimarySelection, IsReadFromItsOwnerAndAnOwnerThatNeverAnswersIsGivenUp) {
    if (!g_xvfb) GTEST_SKIP() << "no Xvfb";
    Display* a = XOpenDisplay(nullptr);
    ASSERT_TRUE(a);
    platform::X11PrimarySelection primary;
    XSetSelectionOwner(a, XA_PRIMARY, None, CurrentTime);
    XSync(a, False);
    EXPECT_FALSE(primary.Text());

    char path[] = "/tmp/selvarine-primary-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string text = "選択された text";
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    const pid_t xclip = testsupport::Spawn({"xclip", "-selection", "primary", "-quiet", path});
    std::optional<std::u16string> got;
    for (int i = 0; i < 100 && !got; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        got = primary.Text();
    }
    testsupport::End(xclip);
    EXPECT_EQ(got, u"選択された text");
    // The owner's HTML, where ruby readings are told apart from their base.
    const pid_t html =
        testsupport::Spawn({"xclip", "-selection", "primary", "-t", "text/html", "-quiet", path});
    std::optional<std::string> gotHtml;
    for (int i = 0; i < 100 && !gotHtml; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gotHtml = primary.Html();
    }
    testsupport::End(html);
    std::remove(path);
    EXPECT_EQ(gotHtml, text);

    // A window of connection a owns PRIMARY, and a never reads its events.
    const Window silent = XCreateSimpleWindow(a, DefaultRootWindow(a), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(a, XA_PRIMARY, silent, CurrentTime);
    XSync(a, False);
    EXPECT_FALSE(primary.Text());
    EXPECT_FALSE(primary.Text());  // and again: the late request's answer is never mistaken
    XCloseDisplay(a);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_xvfb = testsupport::StartPrivateXvfb();
    const int result = RUN_ALL_TESTS();
    testsupport::End(g_xvfb);
    return result;
}
