// Global key grabs and the PRIMARY selection on a private Xvfb (started and ended here).

#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "../reading/PrivateDisplay.h"
#include "platform/x11/X11GlobalShortcuts.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11Support.h"

namespace {

using platform::KeyChord;

pid_t g_xvfb = 0;

class X11Shortcuts : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!g_xvfb) GTEST_SKIP() << "no Xvfb";
        m_a = XOpenDisplay(nullptr);
        m_b = XOpenDisplay(nullptr);
        ASSERT_TRUE(m_a && m_b);
    }
    void TearDown() override {
        if (m_a) XCloseDisplay(m_a);
        if (m_b) XCloseDisplay(m_b);
    }

    // Moves Num Lock to the given modifier (Xvfb puts it on Mod2, as most keyboards do).
    void PutNumLockOn(int index) {
        const KeyCode numLock = XKeysymToKeycode(m_a, XK_Num_Lock);
        ASSERT_NE(numLock, 0);
        XModifierKeymap* map = XGetModifierMapping(m_a);
        for (int i = 0; i < 8; ++i) map = XDeleteModifiermapEntry(map, numLock, i);
        map = XInsertModifiermapEntry(map, numLock, index);
        ASSERT_EQ(XSetModifierMapping(m_a, map), MappingSuccess);
        XFreeModifiermap(map);
        XSync(m_a, False);
    }

    // Whether connection B may grab the key with exactly this modifier mask.
    bool FreeForB(KeyCode key, unsigned mask) {
        platform::x11::X11ErrorTrap trap(m_b);
        const Window root = DefaultRootWindow(m_b);
        XGrabKey(m_b, key, mask, root, False, GrabModeAsync, GrabModeAsync);
        const bool free = !trap.HadError();
        XUngrabKey(m_b, key, mask, root);
        return free;
    }

    Display* m_a = nullptr;
    Display* m_b = nullptr;
};

TEST_F(X11Shortcuts, GrabsEveryLockStateWhereverNumLockSitsAndReportsTakenChords) {
    PutNumLockOn(Mod3MapIndex);
    const KeyChord chord{platform::kModControl | platform::kModAlt | platform::kModShift, U's'};
    const KeyCode s = XKeysymToKeycode(m_a, XK_s);
    const unsigned base = ControlMask | Mod1Mask | ShiftMask;
    {
        platform::X11GlobalShortcuts a(m_a);
        ASSERT_EQ(a.Register(0, chord), platform::GlobalShortcuts::Grab::Ok);
        for (const unsigned locks :
             {0u, unsigned(LockMask), unsigned(Mod3Mask), unsigned(LockMask | Mod3Mask)}) {
            SCOPED_TRACE(locks);
            EXPECT_FALSE(FreeForB(s, base | locks));
        }
        EXPECT_TRUE(FreeForB(s, base | Mod2Mask));  // Num Lock is not assumed to be Mod2

        platform::X11GlobalShortcuts b(m_b);
        EXPECT_EQ(b.Register(0, chord), platform::GlobalShortcuts::Grab::Taken);
        EXPECT_EQ(b.Register(1, {platform::kModControl | platform::kModAlt, platform::kKeyF1 + 8}),
                  platform::GlobalShortcuts::Grab::Ok);
    }
    // Both gone: every grab was released, and the refused one left nothing behind.
    EXPECT_TRUE(FreeForB(s, base));
    EXPECT_TRUE(FreeForB(s, base | LockMask | Mod3Mask));
    PutNumLockOn(Mod2MapIndex);
}

TEST_F(X11Shortcuts, PrimaryIsReadFromItsOwnerAndAnOwnerThatNeverAnswersIsGivenUp) {
    platform::X11PrimarySelection primary;
    XSetSelectionOwner(m_a, XA_PRIMARY, None, CurrentTime);
    XSync(m_a, False);
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
    std::remove(path);
    EXPECT_EQ(got, u"選択された text");

    // A window of connection A owns PRIMARY, and A never reads its events.
    const Window silent = XCreateSimpleWindow(m_a, DefaultRootWindow(m_a), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(m_a, XA_PRIMARY, silent, CurrentTime);
    XSync(m_a, False);
    EXPECT_FALSE(primary.Text());
    EXPECT_FALSE(primary.Text());  // and again: the late request's answer is never mistaken
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_xvfb = testsupport::StartPrivateXvfb();
    const int result = RUN_ALL_TESTS();
    testsupport::End(g_xvfb);
    return result;
}
