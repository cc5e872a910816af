#pragma once
// The private window messages between the workers and the main window. Any thread.

#include <cstdint>

constexpr int WM_APP = 0x8000;
constexpr int WM_APP_PLAY_TRACK = WM_APP + 100;       // 0x8064
constexpr int WM_APP_TRACK_INFO = WM_APP + 101;       // 0x8065
constexpr int WM_APP_PLAYER_TICK = WM_APP + 102;      // 0x8066
constexpr int WM_APP_LIBRARY_STATUS = WM_APP + 201;   // 0x80C9
constexpr int WM_APP_DOWNLOAD_STATUS = WM_APP + 300;  // 0x812C
constexpr int WM_APP_TRAY_NOTIFY = WM_APP + 1000;     // 0x83E8

// Status messages only ask the window to read a worker's counters anew: a second one posted
// while the first is still queued adds nothing and is merged into it. The download engine's
// last message (wParam 1) ends the window and is never merged.
constexpr bool IsMergedMessage(int message, intptr_t wParam) {
    return message == WM_APP_PLAYER_TICK || message == WM_APP_LIBRARY_STATUS ||
           (message == WM_APP_DOWNLOAD_STATUS && wParam == 0);
}
