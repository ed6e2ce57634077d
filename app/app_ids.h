// Message numbers, timer ids and command ids of the main window.
#pragma once

#include <windows.h>

// Private messages, always posted to the main window.
inline constexpr UINT WM_TRAYICON = WM_APP + 1;               // tray icon callback; lParam low word: mouse message
inline constexpr UINT WM_SHOW_MAIN = WM_APP + 4;              // show and activate the main window
inline constexpr UINT WM_UPDATE_AUTO_RESULT = WM_APP + 5;     // wParam 1: newer; lParam: posted text (version)
inline constexpr UINT WM_LINK_TITLE = WM_APP + 10;            // wParam: entry id; lParam: posted text (title)
inline constexpr UINT WM_UPDATE_MANUAL_RESULT = WM_APP + 11;  // wParam 1: newer; lParam: posted text to show
inline constexpr UINT WM_CLIPBOARD_READ = WM_APP + 12;        // the watcher's clipboard read has finished

// Timers of the main window.
inline constexpr UINT_PTR kTimerClipboardPoll = 1;  // 500 ms, repeating
inline constexpr UINT_PTR kTimerCleanup = 2;        // one hour, repeating
inline constexpr UINT_PTR kTimerMoveSave = 3;       // 500 ms after the last move, once
inline constexpr UINT_PTR kTimerToast = 4;          // 2 s after the toast was shown, once
inline constexpr UINT_PTR kTimerUpdateStart = 5;    // 10 s after start, once
// 250 ms after the main window was minimised to reach the front, its restore.
inline constexpr UINT_PTR kTimerFrontRestore = 41;
// The next slice of the captures written after the store was held, soon
// after the last (between the window's other messages); repeating until
// none waits or the store refuses again.
inline constexpr UINT_PTR kTimerWaitingCaptures = 42;
inline constexpr UINT kWaitingCapturesMs = 10;

inline constexpr UINT kClipboardPollMs = 500;
inline constexpr UINT kCleanupMs = 3600000;
inline constexpr UINT kMoveSaveMs = 500;
inline constexpr UINT kToastMs = 2000;
inline constexpr UINT kUpdateStartMs = 10000;

// Global hotkey ids.
inline constexpr int kHotkeyHistory = 10;
inline constexpr int kHotkeyQuickMenu = 11;
inline constexpr int kHotkeyPlainPaste = 12;
inline constexpr int kHotkeySnippets = 13;
inline constexpr int kHotkeyRegionShot = 14;
inline constexpr int kHotkeyWindowShot = 15;
inline constexpr int kHotkeyFullShot = 16;
inline constexpr int kHotkeyFirstSlot = 20;  // quick slots 1..9: 20..28

// Control ids of the main window.
inline constexpr int kIdCards = 101;
inline constexpr int kIdSearch = 102;
inline constexpr int kIdSide = 103;
inline constexpr int kIdWatchBox = 104;
inline constexpr int kIdEmptyHint = 106;
inline constexpr int kIdSearchButton = 108;
inline constexpr int kIdTotalLabel = 109;
inline constexpr int kIdTooltip = 300;

inline constexpr int kIdPaste = 201;
inline constexpr int kIdCopy = 202;
inline constexpr int kIdPin = 203;
inline constexpr int kIdDelete = 204;
inline constexpr int kIdMoveUp = 205;
inline constexpr int kIdMoveDown = 206;
inline constexpr int kIdClear = 207;
inline constexpr int kIdSettings = 208;
inline constexpr int kIdPanelToggle = 209;
inline constexpr int kIdFirstMenuButton = 210;  // 210..215: file, edit, categories, view, settings, help
inline constexpr int kIdLastMenuButton = 215;
inline constexpr int kIdScreenshot = 220;
inline constexpr int kIdAddEntry = 221;

// Menu commands (posted as WM_COMMAND by the menus of the menu bar).
inline constexpr int kCmdExportJson = 1001;
inline constexpr int kCmdImportJson = 1002;
inline constexpr int kCmdClose = 1003;
inline constexpr int kCmdQuit = 1004;
inline constexpr int kCmdTogglePanel = 1208;
inline constexpr int kCmdShowTime = 1301;
inline constexpr int kCmdCollapseCategories = 1302;
inline constexpr int kCmdDarkMode = 1303;
inline constexpr int kCmdWatchClipboard = 1401;
inline constexpr int kCmdAlwaysOnTop = 1402;
inline constexpr int kCmdHotkeyHelp = 1403;
inline constexpr int kCmdOpenSettings = 1404;
inline constexpr int kCmdAbout = 1501;
inline constexpr int kCmdHotkeyHelp2 = 1502;
inline constexpr int kCmdCheckUpdates = 1504;
inline constexpr int kCmdGuide = 1505;
inline constexpr int kCmdLicense = 1506;

// Tray menu choices.
inline constexpr int kTrayOpenHistory = 1;
inline constexpr int kTraySettings = 2;
inline constexpr int kTrayClearHistory = 3;
inline constexpr int kTrayQuit = 4;
inline constexpr int kTraySnippets = 5;
inline constexpr int kTrayScreenshot = 6;
