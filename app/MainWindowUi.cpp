#include "app/MainWindowUi.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>

void DesktopUi::OpenUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

void DesktopUi::ShowInfo(QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox::information(owner, caption, text);
}

void DesktopUi::ShowNotice(QWidget* owner, const QString& caption, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    // after the main window has been shown, so that it comes up in front of it
    QTimer::singleShot(0, box, &QWidget::show);
}

bool DesktopUi::AskYesNo(QWidget* owner, const QString& caption, const QString& text) {
    return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString DesktopUi::PickFolder(QWidget* owner, const QString& title) {
    return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

void DesktopUi::ShowCloseHint(const QString& text) {
    auto* hint = new QLabel(text, nullptr, Qt::ToolTip);
    hint->setAttribute(Qt::WA_DeleteOnClose);
    hint->setWordWrap(true);
    hint->setMaximumWidth(320);
    hint->setMargin(8);
    hint->setStyleSheet("background: rgb(255,255,225); border: 1px solid rgb(120,120,120);");
    hint->adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        hint->move(area.right() - hint->width() - 16, area.bottom() - hint->height() - 16);
    }
    hint->show();
    QTimer::singleShot(8000, hint, &QWidget::close);
}

void ApplyMessageBoxColours() {
    qApp->setStyleSheet(qApp->styleSheet() + "QMessageBox { background: rgb(190,190,210); }");
}
