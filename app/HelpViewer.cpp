#include "app/HelpViewer.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "res/Help.h"

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
    setObjectName("HelpViewer");
    setWindowTitle("Sonvera Help");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
    resize(560, 480);
}

bool HelpViewer::ShowTopic(const std::string& topicRef) {
    QString path = QString::fromStdString(HelpPagePath(topicRef));
    if (path.isEmpty() || !QFileInfo::exists(path)) return false;
    browser_->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
    return true;
}

QString HelpViewer::CurrentPage() const { return browser_->source().fileName(); }
