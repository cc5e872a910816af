#pragma once
// The search window (template 157): finds tracks whose file-name letters, name, artist or
// album hold the typed text, lists them sortably, and plays one on a double click. Made once
// with the main window; closing hides it. Main thread.

#include <QDialog>
#include <cstdint>
#include <functional>

#include "windows/DialogText.h"

class CADODataBase;
class CEasyListCtrl;
class QLineEdit;
class QPushButton;

class CSearchDlg : public QDialog {
    Q_OBJECT
public:
    using PlayTrack = std::function<void(int32_t trackID)>;
    using ErrorReport = std::function<void(const QString& text)>;

    CSearchDlg(CADODataBase* database, const DialogTextLoader& text, PlayTrack playTrack,
               QWidget* parent = nullptr);
    // Where a database error goes; a message box unless set.
    void SetErrorReport(ErrorReport report) { errorReport_ = std::move(report); }

public slots:
    void OnSearch();

private slots:
    void OnListDoubleClicked();

private:
    CADODataBase* database_;
    PlayTrack playTrack_;
    ErrorReport errorReport_;
    QLineEdit* text_;
    QPushButton* search_;
    CEasyListCtrl* list_;
};
