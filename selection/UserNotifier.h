#pragma once
// How the selection engine reaches the user without widgets: the application shows a
// message box and opens addresses. Called from the TrackPlayer thread and from the main
// thread itself (Skip, Exclude); an implementation that needs widgets must hand the work to
// the main thread without blocking when it is already on it.

#include <string>

class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    // An error box without owner window; returns when the user has dismissed it.
    virtual void ShowError(const std::string& caption, const std::string& text) = 0;
    // Opens an address with the desktop's "open" action.
    virtual void OpenUrl(const std::string& url) = 0;
};
