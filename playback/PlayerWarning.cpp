#include "playback/PlayerWarning.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex handlerLock;

PlayerWarningHandler& Handler() {
    static PlayerWarningHandler handler;
    return handler;
}

}  // namespace

PlayerWarningHandler SetPlayerWarningHandler(PlayerWarningHandler handler) {
    std::lock_guard lock(handlerLock);
    std::swap(Handler(), handler);
    return handler;
}

void ShowPlayerWarning(const std::string& caption, const std::string& text) {
    PlayerWarningHandler handler;
    {
        std::lock_guard lock(handlerLock);
        handler = Handler();
    }
    if (handler)
        handler(caption, text);
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}
