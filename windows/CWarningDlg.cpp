#include "windows/CWarningDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/ResourceIds.h"

CWarningDlg::CWarningDlg(const DialogTextLoader& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(IDD_WARNING));
    setWindowTitle("Sonvera");
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i <= IDC_NOTICE_LINE_LAST - IDC_NOTICE_LINE_FIRST; ++i) {
        auto* label = new QLabel(text(IDS_NOTICE_WELCOME + i), this);
        label->setObjectName(QString::number(IDC_NOTICE_LINE_FIRST + i));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        if (i <= 1) {
            QFont f = label->font();
            f.setBold(true);
            label->setFont(f);
        }
        layout->addWidget(label);
    }
    understand_ = new QCheckBox(text(IDS_NOTICE_UNDERSTAND), this);
    understand_->setObjectName(QString::number(IDC_NOTICE_UNDERSTAND));
    layout->addWidget(understand_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(text(IDS_OK), this);
    ok_->setObjectName(QString::number(IDOK));
    ok_->setEnabled(false);
    auto* cancel = new QPushButton(text(IDS_CANCEL), this);
    cancel->setObjectName(QString::number(IDCANCEL));
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    connect(understand_, &QCheckBox::clicked, this, &CWarningDlg::OnUnderstandClicked);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CWarningDlg::OnUnderstandClicked() { ok_->setEnabled(understand_->isChecked()); }
