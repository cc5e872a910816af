#pragma once
// Shows the program's help pages. Main thread; one viewer, owned by the main window.

#include <QDialog>

class QTextBrowser;

class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);
    // A topic reference ("Sonvera.chm::/html/SkipButton.htm") or page name; a page that
    // does not exist shows nothing. Returns whether a page was shown.
    bool ShowTopic(const std::string& topicRef);
    QString CurrentPage() const;

private:
    QTextBrowser* browser_;
};
