#pragma once
// Terminal emulators, known by the program name their windows declare. A terminal passes
// injected keys to the program running in it: Ctrl+C interrupts that program, and Ctrl+A moves
// the shell's cursor or is the prefix key of tmux and screen. So terminals are never sent the
// copy and select-all chords; their selection is read from PRIMARY instead.

#include "platform/WindowSystem.h"

namespace reading {

bool IsTerminalWindow(const platform::WindowClass& windowClass);

}  // namespace reading
