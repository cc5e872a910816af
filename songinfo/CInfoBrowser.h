#pragma once
// The info browser (template 161): a web view of the server's page of the chosen kind about
// the playing track, following every track start. Made hidden with the main window; closing
// hides it. Main thread.

#include <QDialog>
#include <cstdint>
#include <functional>

#include "db/TrackRecord.h"
#include "windows/DialogText.h"

class QPushButton;
class QWebEngineView;

// Control IDs of the page buttons.
inline constexpr int IDC_INFO_ARTIST = 1066;
inline constexpr int IDC_INFO_LYRICS = 1067;
inline constexpr int IDC_INFO_PHOTOS = 1068;
inline constexpr int IDC_INFO_BUY = 1069;
inline constexpr int IDC_INFO_LINKS = 1072;
inline constexpr int IDC_INFO_VIEW = 1065;

// Before the QApplication exists: the web engine shares its GL contexts, and as root (where its
// sandbox cannot start) runs without the sandbox.
void PrepareWebEngine();

struct InfoBrowserLinks {
    DialogTextLoader text;
    int language = 1033;
    QString infoServer;
    // a copy of the player's current track
    std::function<TrackRecord()> currentTrack;
};

class CInfoBrowser : public QDialog {
    Q_OBJECT
public:
    static constexpr int ButtonColumnWidth = 90;
    enum PageKind { Artist = 1, Lyrics, Photos, Buy, Links };

    explicit CInfoBrowser(InfoBrowserLinks links, QWidget* parent = nullptr);

    // Loads the page of the kind for the playing track, and keeps the kind for later tracks.
    void ShowPage(int kind);
    // A track started.
    void OnPlayTrack() { ShowPage(kind_); }
    int PageKind() const { return kind_; }
    QWebEngineView* View() const { return view_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    InfoBrowserLinks links_;
    QWebEngineView* view_;
    std::vector<QPushButton*> buttons_;
    int kind_ = Photos;
};
