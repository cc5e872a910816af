#pragma once
// The download activity window (template 159): the artists waiting in the queue, the
// engine's downloads with their status and progress, and the engine's search and timer
// state, refreshed once a second while visible. Made once, hidden, with the main window;
// closing hides it. Main thread only; it reads the engine through DownloadActivity alone.

#include <QDialog>
#include <initializer_list>

#include "res/StringTable.h"

class CADODataBase;
class CEasyListCtrl;
class DownloadActivity;
class QLabel;
class QListWidget;
class QTimer;

class CDownloadActivityDlg : public QDialog {
    Q_OBJECT
public:
    CDownloadActivityDlg(CADODataBase* database, DownloadActivity& activity,
                         int languageId = kLanguageEnglish, QWidget* parent = nullptr);

public slots:
    // Brings both lists and the status line up to date; nothing while hidden.
    void Refresh();

private slots:
    void OnDeleteArtists();
    void OnDeleteDownload();
    void OnDeleteAll();

private:
    QString Text(int stringID) const;
    QString Format(int stringID, std::initializer_list<long long> args) const;
    void RefreshArtists();
    void RefreshDownloads();
    void RefreshStatusLine();

    CADODataBase* database_;
    DownloadActivity& activity_;
    int language_;
    QListWidget* artists_;
    CEasyListCtrl* downloads_;
    QLabel* status_;
    QTimer* timer_;
};
