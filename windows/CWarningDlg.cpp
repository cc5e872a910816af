#include "windows/CWarningDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CWarningDlg::CWarningDlg(const DialogTextLoader& text, QWidget* parent) : QDialog(parent) {
    setObjectName("163");
    setWindowTitle("Sonvera");
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i <= 6; ++i) {
        auto* label = new QLabel(text(3164 + i), this);
        label->setObjectName(QString::number(1096 + i));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        if (i <= 1) {
            QFont f = label->font();
            f.setBold(true);
            label->setFont(f);
        }
        layout->addWidget(label);
    }
    understand_ = new QCheckBox(text(3171), this);
    understand_->setObjectName("1068");
    layout->addWidget(understand_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(text(3173), this);
    ok_->setObjectName("1");
    ok_->setEnabled(false);
    auto* cancel = new QPushButton(text(3172), this);
    cancel->setObjectName("2");
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    connect(understand_, &QCheckBox::clicked, this, &CWarningDlg::OnUnderstandClicked);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CWarningDlg::OnUnderstandClicked() { ok_->setEnabled(understand_->isChecked()); }
