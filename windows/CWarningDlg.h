#pragma once
// The start-up notice (template 163): OK is enabled only while the box is ticked. Main thread.

#include <QDialog>

#include "windows/DialogText.h"

class QCheckBox;
class QPushButton;

class CWarningDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWarningDlg(const DialogTextLoader& text, QWidget* parent = nullptr);

private slots:
    void OnUnderstandClicked();

private:
    QCheckBox* understand_ = nullptr;
    QPushButton* ok_ = nullptr;
};
