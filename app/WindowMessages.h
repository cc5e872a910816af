#pragma once
// The private window messages between the workers and the main window, and the target the
// workers post them to. Header-only so that the worker libraries need no widgets.

#include <atomic>
#include <cstdint>

constexpr int WM_APP = 0x8000;
constexpr int WM_APP_PLAY_TRACK = WM_APP + 100;       // 0x8064
constexpr int WM_APP_TRACK_INFO = WM_APP + 101;       // 0x8065
constexpr int WM_APP_PLAYER_TICK = WM_APP + 102;      // 0x8066
constexpr int WM_APP_LIBRARY_STATUS = WM_APP + 201;   // 0x80C9
constexpr int WM_APP_DOWNLOAD_STATUS = WM_APP + 300;  // 0x812C
constexpr int WM_APP_TRAY_NOTIFY = WM_APP + 1000;     // 0x83E8

// A window that accepts posted messages. PostAppMessage never waits for the receiver and
// may be called from any thread. The main window implements it with posted QEvents whose
// type is the message number.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void PostAppMessage(int message, intptr_t wParam, intptr_t lParam) = 0;
};

// The main window as a worker sees it: absent until start-up attaches it, and detached
// before the window goes away. Posting to an absent window does nothing.
class MessageTargetSlot {
public:
    void Attach(MessageTarget* target) { target_.store(target); }
    void Detach() { target_.store(nullptr); }
    bool Exists() const { return target_.load() != nullptr; }
    void Post(int message, intptr_t wParam = 0, intptr_t lParam = 0) const {
        if (MessageTarget* t = target_.load()) t->PostAppMessage(message, wParam, lParam);
    }

private:
    std::atomic<MessageTarget*> target_{nullptr};
};
