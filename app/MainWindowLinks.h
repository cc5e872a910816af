#pragma once
// What start-up hands the main window: the logic it drives, and the commands and child
// windows the subsystems plug in. Filled on the main thread before the window exists.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandTable.h"
#include "app/SpeechOutput.h"
#include "res/StringTable.h"

class AppStore;
class DownloadControl;
class MainWindow;
class MainWindowUi;
class PlayerEngine;
class QWidget;
class SimilarArtistLookup;

// The library scanner as the main window uses it. Main thread.
class LibraryFolders {
public:
    virtual ~LibraryFolders() = default;
    // Files queued and not read yet.
    virtual int PendingFiles() const = 0;
    // folder ends in '/'
    virtual void QueueFolder(const std::string& folder) = 0;
    // What the first run offers to search, in order.
    virtual std::vector<std::string> FirstUseFolders() const = 0;
};

// A window the main window creates once, with itself as parent, and brings up on a command.
struct ChildWindow {
    // The command that restores, shows and raises it.
    int commandId = 0;
    std::function<QWidget*(QWidget* mainWindow)> create;
    // Brought up at the end of the main window's initialisation too.
    bool showAtStart = false;
};

struct MainWindowLinks {
    PlayerEngine* player = nullptr;
    AppStore* store = nullptr;
    MainWindowUi* ui = nullptr;
    // null without a scanner: Add files stays disabled
    LibraryFolders* library = nullptr;
    // null until the download engine exists
    DownloadControl* download = nullptr;
    // where an Awesome rating looks up the artist's similar artists; null looks nothing up
    SimilarArtistLookup* similarArtists = nullptr;
    int language = kLanguageEnglish;
    int userDefaultLanguage = kLanguageEnglish;
    std::string feedbackUrl;
    std::string versionText = "1.24b";
    // the voice's output; null means eSpeak NG
    std::unique_ptr<SpeechOutput> speech;
    // whether the desktop has a notification area; unset asks Qt each time
    std::optional<bool> systemTray;
    // the subsystems' commands; a start-up handler takes the place of the window's own
    CommandTable commands;
    std::vector<ChildWindow> childWindows;
    // told of every track start, after the main window shows it
    std::vector<std::function<void()>> playTrackListeners;
    // called with the new window before its initialisation creates the player
    std::function<void(MainWindow*)> attach;
};
