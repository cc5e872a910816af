#include "windows/CSonveraAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/ResourceIds.h"

namespace {

QLabel* AddLine(QVBoxLayout* layout, QWidget* parent, const QString& text, bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    layout->addWidget(label);
    return label;
}

}  // namespace

CSonveraAbout::CSonveraAbout(const DialogTextLoader& text, const QString& versionText,
                             QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::number(IDD_ABOUT));
    setWindowTitle("Sonvera");
    auto* layout = new QVBoxLayout(this);
    AddLine(layout, this, QString("Sonvera %1").arg(versionText), true)
        ->setObjectName(QString::number(IDC_ABOUT_VERSION));
    AddLine(layout, this, "A music player that learns which songs fit your mood.");
    layout->addSpacing(8);
    AddLine(layout, this, text(IDS_SPECIAL_THANKS), true)
        ->setObjectName(QString::number(IDC_ABOUT_THANKS_HEADING));
    AddLine(layout, this,
            "The authors of Qt, SQLite, mpg123, SDL, id3lib, ICU and eSpeak NG, and everyone "
            "who rated songs and sent in their ideas.");
    layout->addSpacing(8);
    AddLine(layout, this, text(IDS_SUPPORTERS), true)
        ->setObjectName(QString::number(IDC_ABOUT_SUPPORTERS_HEADING));
    AddLine(layout, this, "The listeners who kept rating, skipping and telling us what rocks.");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName(QString::number(IDOK));
    ok->setDefault(true);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(380);
}

CSonveraAbout* CSonveraAbout::Open(const DialogTextLoader& text, const QString& versionText) {
    auto* box = new CSonveraAbout(text, versionText, nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}
