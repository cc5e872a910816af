#include "platform/messages/AppMessageQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <mutex>
#include <set>
#include <tuple>

// The merged messages now in the receiver's queue; the lock guards the set.
struct AppMessageQueue::Queued {
    using Key = std::tuple<int, intptr_t, intptr_t>;
    std::mutex lock;
    std::set<Key> keys;
};

namespace {

class AppMessageEvent final : public QEvent {
public:
    AppMessageEvent(const AppMessage& m, std::shared_ptr<AppMessageQueue::Queued> queued)
        : QEvent(static_cast<Type>(m.message)), message_(m), queued_(std::move(queued)) {}
    // Also when Qt drops the event with its receiver.
    ~AppMessageEvent() override { Release(); }

    AppMessage Take() {
        Release();
        return message_;
    }

private:
    void Release() {
        if (!queued_) return;
        std::lock_guard lock(queued_->lock);
        queued_->keys.erase({message_.message, message_.wParam, message_.lParam});
        queued_.reset();
    }

    AppMessage message_;
    std::shared_ptr<AppMessageQueue::Queued> queued_;  // null for a message never merged
};

}  // namespace

AppMessageQueue::AppMessageQueue(QObject* receiver)
    : receiver_(receiver), queued_(std::make_shared<Queued>()) {}

AppMessageQueue::~AppMessageQueue() = default;

void AppMessageQueue::PostAppMessage(int message, intptr_t wParam, intptr_t lParam) {
    const AppMessage m{message, wParam, lParam};
    std::shared_ptr<Queued> queued;
    if (IsMergedMessage(message, wParam)) {
        std::lock_guard lock(queued_->lock);
        if (!queued_->keys.insert({message, wParam, lParam}).second) return;
        queued = queued_;
    }
    QCoreApplication::postEvent(receiver_, new AppMessageEvent(m, std::move(queued)));
}

std::optional<AppMessage> AppMessageQueue::Take(QEvent* event) {
    auto* m = dynamic_cast<AppMessageEvent*>(event);
    if (!m) return std::nullopt;
    return m->Take();
}

void RunOnMainThread(std::function<void()> f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !f) return;
    if (QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
}
