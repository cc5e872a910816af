#pragma once
// The "Add artist" window (template 156): names of artists the user likes go into the
// download queue, each looked up on the similar-artist site, and the connection speed is
// chosen. Main thread only; OK stores the speed, any other close stores nothing more.

#include <QDialog>

#include "res/StringTable.h"

class ArtistQueue;
class QComboBox;
class QLineEdit;
class QListWidget;

class CDownloadDlg : public QDialog {
    Q_OBJECT
public:
    CDownloadDlg(ArtistQueue& queue, int languageId = kLanguageEnglish, QWidget* parent = nullptr);

private slots:
    void OnAdd();
    void OnOK();

private:
    ArtistQueue& queue_;
    QLineEdit* name_ = nullptr;
    QListWidget* list_ = nullptr;
    QComboBox* speed_ = nullptr;
};
