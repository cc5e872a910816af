#pragma once
// Window messages carried as posted QEvents whose type is the message number, and closures
// run on the main thread. Qt Core only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/messages/MessageTarget.h"

class QEvent;
class QObject;

struct AppMessage {
    int message = 0;
    intptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Posts window messages into one receiver's event queue, merging a status message into a like
// one still queued there. PostAppMessage from any thread; Take on the receiver's thread.
class AppMessageQueue final : public MessageTarget {
public:
    explicit AppMessageQueue(QObject* receiver);
    ~AppMessageQueue() override;
    AppMessageQueue(const AppMessageQueue&) = delete;
    AppMessageQueue& operator=(const AppMessageQueue&) = delete;

    void PostAppMessage(int message, intptr_t wParam, intptr_t lParam) override;
    // The message an event carries, or nothing for any other event. Call it before handling:
    // a like status message posted from then on is queued again, not merged away.
    static std::optional<AppMessage> Take(QEvent* event);

    struct Queued;

private:
    QObject* receiver_;
    std::shared_ptr<Queued> queued_;  // shared with the events still in the queue
};

// Runs f on the main thread: at once when called there, otherwise queued to the application's
// event loop, never waiting for it. Dropped when no application object exists. Any thread.
void RunOnMainThread(std::function<void()> f);
