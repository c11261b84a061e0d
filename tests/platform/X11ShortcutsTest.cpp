// Global key grabs on a private Xvfb (started and ended here).

#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>

#include "platform/x11/X11GlobalShortcuts.h"
#include "platform/x11/X11Support.h"
#include "tests/support/PrivateDisplay.h"

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

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_xvfb = testsupport::StartPrivateXvfb();
    const int result = RUN_ALL_TESTS();
    testsupport::End(g_xvfb);
    return result;
}
