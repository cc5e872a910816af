#include "app/MainWindowUi.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
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

std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* owner, const QString& instruction) {
    QString start = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (start.isEmpty() || !QDir(start).exists()) start = QDir::homePath();
    auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("Sonvera"), start);
    // Qt's own dialog, so that the instruction can stand in it.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setFileMode(QFileDialog::Directory);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
        auto* label = new QLabel(instruction, dialog.get());
        label->setObjectName(QStringLiteral("instruction"));
        label->setWordWrap(true);
        grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
    }
    return dialog;
}

QString DesktopUi::PickFolder(QWidget* owner, const QString& title) {
    const auto dialog = MakeFolderDialog(owner, title);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    return dialog->selectedFiles().front();
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
