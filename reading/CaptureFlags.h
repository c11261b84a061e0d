#pragma once
// Process-wide state of a capture, shared by the read commands, the clipboard watch and the
// reading controller. GUI thread only; plain ints because handlers re-enter one another
// through the pumped delays of a read command, never through threads.

#include "platform/WindowSystem.h"

// A read command is waiting for the next clipboard change.
extern int g_bCaptureArmed;
// The clipboard changed after the capture was armed; cleared only by the next read command.
extern int g_bClipboardChanged;
// First eligible window met above the toolbar; kept across enumerations until a window has
// been brought to the foreground.
extern platform::WindowId g_hTargetCandidate;
// The next eligible window met becomes the target; kept across enumerations like the above.
extern int g_bTakeNextWindow;
// Title of the window being examined, in code page 932 (69 bytes at most, terminated).
extern char g_szWindowTitle[70];
// The current capture's number. A read command, stop and close each start a new number, so
// the pumped waits and timer ticks of an earlier capture see that they are no longer theirs
// and end without a word.
extern unsigned g_nCapture;
// The capture whose text is saved to a sound file rather than spoken; 0 for none. Only the
// capture of that number counts, so a stop, a close or another read drops the save.
extern unsigned g_nSaveCapture;
// Counts the readings asked for (a read command, or text handed straight to a voice), so a
// save that something else ended can tell whether a reading took its place.
extern unsigned g_nReadings;

namespace reading {

// The clipboard watch: only the first change after arming counts.
void NoteClipboardChange();

}  // namespace reading
