#include "playback/PlayerWarning.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex handlerLock;  // guards handler
PlayerWarningHandler handler;

}  // namespace

void SetPlayerWarningHandler(PlayerWarningHandler newHandler) {
    std::lock_guard guard(handlerLock);
    handler = std::move(newHandler);
}

void ShowPlayerWarning(const std::string& text) {
    PlayerWarningHandler show;
    {
        std::lock_guard guard(handlerLock);
        show = handler;
    }
    if (show)
        show("Sonvera", text);
    else
        std::fprintf(stderr, "Sonvera: %s\n", text.c_str());
}
