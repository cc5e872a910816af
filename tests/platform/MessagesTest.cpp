#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/messages/AppMessageQueue.h"

using namespace std::chrono_literals;

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "messages_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Records the messages it handles; `during` runs while one is being handled.
class Receiver : public QObject {
public:
    bool event(QEvent* e) override {
        std::optional<AppMessage> m = AppMessageQueue::Take(e);
        if (!m) return QObject::event(e);
        handled.push_back(*m);
        if (during) during(*m);
        return true;
    }
    std::vector<AppMessage> handled;
    std::function<void(const AppMessage&)> during;
};

int Count(const std::vector<AppMessage>& v, int message, intptr_t wParam) {
    int n = 0;
    for (const AppMessage& m : v) n += m.message == message && m.wParam == wParam;
    return n;
}

}  // namespace

TEST(AppMessageQueue, StatusMessagesStillQueuedAreMergedAndOthersAreNot) {
    App();
    Receiver receiver;
    AppMessageQueue queue(&receiver);
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) {
            queue.PostAppMessage(WM_APP_LIBRARY_STATUS, 1, 0);
            queue.PostAppMessage(WM_APP_PLAYER_TICK, 0, 0);
            queue.PostAppMessage(WM_APP_DOWNLOAD_STATUS, 0, 0);
        }
        for (int i = 0; i < 3; ++i) queue.PostAppMessage(WM_APP_PLAY_TRACK, 0, 7);
        queue.PostAppMessage(WM_APP_DOWNLOAD_STATUS, 1, 0);
    });
    worker.join();
    QCoreApplication::sendPostedEvents(&receiver);

    EXPECT_EQ(Count(receiver.handled, WM_APP_LIBRARY_STATUS, 1), 1);
    EXPECT_EQ(Count(receiver.handled, WM_APP_PLAYER_TICK, 0), 1);
    EXPECT_EQ(Count(receiver.handled, WM_APP_DOWNLOAD_STATUS, 0), 1);
    EXPECT_EQ(Count(receiver.handled, WM_APP_DOWNLOAD_STATUS, 1), 1);  // the end is kept
    ASSERT_EQ(Count(receiver.handled, WM_APP_PLAY_TRACK, 0), 3);
    for (const AppMessage& m : receiver.handled) {
        if (m.message == WM_APP_PLAY_TRACK) {
            EXPECT_EQ(m.lParam, 7);  // carried, not dropped
        }
    }

    // A status posted while one is being handled reads the counters again afterwards.
    receiver.handled.clear();
    receiver.during = [&](const AppMessage& m) {
        if (receiver.handled.size() == 1) queue.PostAppMessage(m.message, m.wParam, m.lParam);
    };
    queue.PostAppMessage(WM_APP_LIBRARY_STATUS, 1, 0);
    QCoreApplication::sendPostedEvents(&receiver);
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(Count(receiver.handled, WM_APP_LIBRARY_STATUS, 1), 2);
}

TEST(AppMessageQueue, AStatusDroppedUnhandledDoesNotSwallowTheNextOne) {
    App();
    Receiver receiver;
    AppMessageQueue queue(&receiver);
    queue.PostAppMessage(WM_APP_PLAYER_TICK, 0, 0);
    QCoreApplication::removePostedEvents(&receiver);  // as Qt does when a receiver goes
    queue.PostAppMessage(WM_APP_PLAYER_TICK, 0, 0);
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(receiver.handled.size(), 1u);
}

TEST(MessageTargetSlot, DetachWaitsForAPostUnderWay) {
    class SlowTarget : public MessageTarget {
    public:
        void PostAppMessage(int, intptr_t, intptr_t) override {
            entered.set_value();
            std::this_thread::sleep_for(200ms);
            finished.store(true);
        }
        std::promise<void> entered;
        std::atomic<bool> finished{false};
    } target;
    MessageTargetSlot slot;
    slot.Attach(&target);
    std::future<void> entered = target.entered.get_future();
    std::thread worker([&] { slot.Post(WM_APP_PLAYER_TICK); });
    entered.wait();
    slot.Detach();
    EXPECT_TRUE(target.finished.load());  // the target could be destroyed now
    EXPECT_FALSE(slot.Exists());
    worker.join();
    slot.Post(WM_APP_PLAYER_TICK);  // goes nowhere
}

TEST(RunOnMainThread, RunsQueuedFromAWorkerAndAtOnceOnTheMainThread) {
    App();
    std::vector<int> order;
    RunOnMainThread([&] { order.push_back(1); });
    EXPECT_EQ(order, std::vector<int>{1});
    std::thread worker([&] { RunOnMainThread([&] { order.push_back(2); }); });
    worker.join();
    EXPECT_EQ(order.size(), 1u);  // not on the worker
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}
