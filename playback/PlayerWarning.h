#pragma once
// The warning box a player shows when it cannot start: no owner, caption "Sonvera", warning
// icon. Start-up routes it to the desktop; until then it goes to standard error. Any thread;
// the handler is set once at start-up, before any player starts.

#include <functional>
#include <string>

using PlayerWarningHandler =
    std::function<void(const std::string& caption, const std::string& text)>;

void SetPlayerWarningHandler(PlayerWarningHandler handler);
void ShowPlayerWarning(const std::string& text);
