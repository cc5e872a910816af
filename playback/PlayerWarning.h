#pragma once
// Warnings a player shows the user (a message box with a caption and a warning icon). The
// program installs a handler at start-up; without one they go to standard error. Any thread
// may warn: the handler must not block (the program's posts its box to the main thread).

#include <functional>
#include <string>

using PlayerWarningHandler =
    std::function<void(const std::string& caption, const std::string& text)>;

// Replaces the handler; returns the previous one. Not while a player may warn.
PlayerWarningHandler SetPlayerWarningHandler(PlayerWarningHandler handler);
void ShowPlayerWarning(const std::string& caption, const std::string& text);
