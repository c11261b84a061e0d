#pragma once
// The desktop the reading subsystem meets, one fake of each, handed out as its platform.

#include "reading/ReadingCommands.h"
#include "tests/fakes/FakeClipboard.h"
#include "tests/fakes/FakeKeyInjector.h"
#include "tests/fakes/FakePump.h"
#include "tests/fakes/FakeSelection.h"
#include "tests/fakes/FakeWindowSystem.h"

struct FakeDesktop {
    FakeWindowSystem windows;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakePump pump;
    FakeSelection selection;

    reading::ReadingPlatform Platform() { return {windows, clipboard, keys, pump, selection}; }
};
