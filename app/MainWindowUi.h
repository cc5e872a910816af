#pragma once
// The desktop services the main window uses: message boxes, the folder browser, the close
// hint and opening addresses. Main thread. Tests replace it to see what would be shown.

#include <QString>
#include <memory>

class QFileDialog;
class QWidget;

class MainWindowUi {
public:
    virtual ~MainWindowUi() = default;
    virtual void OpenUrl(const QString& url) = 0;
    virtual void ShowInfo(QWidget* owner, const QString& caption, const QString& text) = 0;
    // A warning that does not wait for the user (the window goes on starting).
    virtual void ShowNotice(QWidget* owner, const QString& caption, const QString& text) {
        ShowInfo(owner, caption, text);
    }
    virtual bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) = 0;
    // An empty text when nothing was chosen.
    virtual QString PickFolder(QWidget* owner, const QString& title) = 0;
    // The small pop-up hint of help context 1000.
    virtual void ShowCloseHint(const QString& text) = 0;
};

// Message boxes, QFileDialog, QDesktopServices and a tooltip-like pop-up.
class DesktopUi final : public MainWindowUi {
public:
    void OpenUrl(const QString& url) override;
    void ShowInfo(QWidget* owner, const QString& caption, const QString& text) override;
    void ShowNotice(QWidget* owner, const QString& caption, const QString& text) override;
    bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) override;
    QString PickFolder(QWidget* owner, const QString& title) override;
    void ShowCloseHint(const QString& text) override;
};

// The folder browser of Add files: it opens in the user's Music folder (home when there is
// none) and shows the instruction inside it, where a title bar would cut it off.
std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* owner, const QString& instruction);

// Message boxes get the darker face the program's boxes have.
void ApplyMessageBoxColours();
