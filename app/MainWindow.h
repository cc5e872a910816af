#pragma once
// The main window (template 102): reads its controls, calls the logic, shows the results.
// Main thread; PostAppMessage may be called from any thread.

#include <QDialog>
#include <functional>
#include <memory>

#include "app/MainWindowLayout.h"
#include "app/MainWindowLinks.h"
#include "app/MainWindowModel.h"
#include "platform/messages/AppMessageQueue.h"

class HelpViewer;
class QMenu;
class QMenuBar;
class TrayIcon;
class VoiceAnnouncer;

class MainWindow : public QDialog, public MessageTarget {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowLinks links, QWidget* parent = nullptr);
    ~MainWindow() override;

    void PostAppMessage(int message, intptr_t wParam, intptr_t lParam) override;
    // Whether the download engine's loop still runs (it ends the window when it stops).
    void SetDownloaderRunning(std::function<bool()> running);
    // A menu, tray or button command by its ID; nothing for an ID without a handler.
    void OnCommand(int id);
    // Shows the window and returns once it has ended itself (after Exit). Closing only hides
    // or minimises it. Not modal, so that the parentless windows it opens take input.
    void RunUntilEnded();
    bool IsExiting() const { return exiting_; }
    bool HasEnded() const { return ended_; }
    const MainWindowControls& Controls() const { return c_; }
    VoiceAnnouncer& Voice() { return *voice_; }
    HelpViewer* Help() const { return help_; }
    QMenu* TrayMenu() const { return trayMenu_; }
    TrayIcon* Tray() const { return tray_; }
    // F1 over a control (its ID), or the help command for 0.
    void ShowHelpFor(int controlID);
    int Language() const { return links_.language; }

signals:
    // Each after the window has done its part, for the desktop services that follow the player.
    void AppMessageHandled(int message);
    void CommandRun(int id);
    void PauseToggled();
    void PositionSet(int ms);

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void accept() override {}
    void reject() override;
    void done(int result) override;

private:
    void Initialise();
    void BuildMenus();
    // The window's own commands where start-up registered none.
    void RegisterCommands();
    // "Why this track?": the rating line's click and the two menu items.
    void RegisterWhyThisTrack();
    // Each made once with this window as parent; its command brings it up.
    void CreateChildWindows();
    void ShowChildWindowsAtStart();
    // Check marks of the option items; a command without a handler is disabled.
    void ApplyCommandStates();
    void HandleAppMessage(int message, intptr_t wParam);
    void RunFirstUse();
    void AddFiles();
    void OnDownloadToggled(bool checked);
    void CheckPlayer(int playerType);
    // The library status line; fresh reads the counts anew when no files are pending.
    void ShowLibraryStatus(bool fresh);
    void FinishExit();
    QString T(int id) const;

    MainWindowLinks links_;
    std::unique_ptr<VoiceAnnouncer> voice_;
    std::unique_ptr<MainWindowModel> model_;
    std::unique_ptr<ShellActions> shell_;
    CommandTable commands_;
    MainWindowControls c_;
    QMenuBar* menuBar_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    TrayIcon* tray_ = nullptr;
    HelpViewer* help_ = nullptr;
    std::function<bool()> downloaderRunning_;
    AppMessageQueue messages_;
    bool exiting_ = false;
    bool exitFinished_ = false;
    bool ended_ = false;
};
