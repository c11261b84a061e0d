#pragma once
// Control and command identifiers of the toolbar.

inline constexpr int kIdOk = 1;  // the close button: ends the toolbar like Enter
inline constexpr int kIdCancel = 2;
inline constexpr int kIdReadSelection = 101;
inline constexpr int kIdStop = 102;
inline constexpr int kIdSettings = 103;
inline constexpr int kIdLanguage = 104;
inline constexpr int kIdReadAll = 1015;
inline constexpr int kIdPauseResume = 1042;

// The context menu's commands (app/ToolbarMenu.h).
inline constexpr int kIdShowCaption = 1101;
inline constexpr int kIdPreviousSentence = 1102;
inline constexpr int kIdNextSentence = 1103;
inline constexpr int kIdFaster = 1104;
inline constexpr int kIdSlower = 1105;
inline constexpr int kIdAbout = 1106;
inline constexpr int kIdAutoLanguage = 1110;  // 言語を自動判別
// The reading choices' radio items (app/ToolbarMenu.h kChoiceItems).
inline constexpr int kIdPauseShort = 1111;
inline constexpr int kIdPauseNormal = 1112;
inline constexpr int kIdPauseLong = 1113;
inline constexpr int kIdLinksAll = 1114;
inline constexpr int kIdLinksDomain = 1115;
inline constexpr int kIdLinksNone = 1116;
inline constexpr int kIdSaveSpeech = 1060;  // the selection's speech to a sound file
inline constexpr int kIdVoices = 1120;      // 声の管理: the added voices

// The toolbar's timers besides the capture timer (reading/ToolbarHandle.h).
inline constexpr int kSettingsWriteTimerId = 2;
inline constexpr int kSettingsWatchTimerId = 3;
inline constexpr int kCaptionTimerId = 4;
