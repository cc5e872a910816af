#include "platform/messages/MessageTarget.h"

#include <mutex>

void MessageTargetSlot::Attach(MessageTarget* target) {
    std::unique_lock lock(lock_);
    target_ = target;
}

void MessageTargetSlot::Detach() {
    // Waits for every Post holding the shared lock, so the target may go right after.
    std::unique_lock lock(lock_);
    target_ = nullptr;
}

bool MessageTargetSlot::Exists() const {
    std::shared_lock lock(lock_);
    return target_ != nullptr;
}

void MessageTargetSlot::Post(int message, intptr_t wParam, intptr_t lParam) const {
    std::shared_lock lock(lock_);
    if (target_) target_->PostAppMessage(message, wParam, lParam);
}
