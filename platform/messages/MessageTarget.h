#pragma once
// Where a worker posts window messages: the target (the main window) and the slot a worker
// holds it in. No Qt here, so that logic libraries can post without linking a toolkit.

#include <cstdint>
#include <shared_mutex>

#include "platform/messages/WindowMessages.h"

// A window that accepts posted messages. PostAppMessage never waits for the receiver to
// handle the message and may be called from any thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void PostAppMessage(int message, intptr_t wParam, intptr_t lParam) = 0;
};

// The main window as a worker sees it: absent until start-up attaches it. Post from any
// thread; Attach and Detach from the main thread. The lock guards the target pointer.
class MessageTargetSlot {
public:
    void Attach(MessageTarget* target);
    // After Detach returns no post reaches the old target, also none that was under way.
    void Detach();
    bool Exists() const;
    // Does nothing while no target is attached.
    void Post(int message, intptr_t wParam = 0, intptr_t lParam = 0) const;

private:
    mutable std::shared_mutex lock_;
    MessageTarget* target_ = nullptr;
};
