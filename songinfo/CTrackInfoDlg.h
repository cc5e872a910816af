#pragma once
// The track editor (template 165): corrects the artist, name, album, year and genre of one
// track, from re-decoded tag texts, the file's path or the song-information server, and stores
// them on OK. Modeless, one per press of the main window's edit button, deleted when closed.
// Main thread.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/TrackRecord.h"
#include "windows/DialogText.h"

class CADODataBase;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class SongInfoExchange;
struct ExchangeOutcome;
class SongInfoTransport;

// The status line's text for an outcome, in the interface language.
QString OutcomeText(const ExchangeOutcome& outcome, const DialogTextLoader& text);

struct TrackInfoLinks {
    CADODataBase* database = nullptr;
    DialogTextLoader text;
    // the interface language: genre names and the query's LangID
    int language = 1033;
    // base address of the song-information server
    QString infoServer;
    // after OK stored the tags: the player reloads its track and the main window shows it
    std::function<void()> stored;
    // whether requests carry the track's acoustic print (off with the sharing option)
    bool sendAcousticPrint = true;
};

class CTrackInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTrackInfoDlg(TrackInfoLinks links, QWidget* parent = nullptr);
    ~CTrackInfoDlg() override;

    void Load(int32_t trackID);
    int32_t TrackID() const { return trackID_; }
    const TrackRecord& Record() const { return record_; }
    bool AwaitingReply() const;

    void OnCodePage(int32_t codePage);
    void OnAllEncodings();
    void OnFilename();
    // field: 0 artist, 1 track, 2 album, 3 year
    void OnCopyLine(int field);
    void OnCopyAll();
    void OnSubmit();
    void OnRetrieve();
    // A finished navigation of the hidden transport (status 0: no server answered).
    void OnReply(const QString& bodyMarkup, int httpStatus, int retryAfter);

public slots:
    void accept() override;
    void reject() override;

private:
    void SetLines(const std::vector<QString>& lines);
    void SelectGenre(int32_t genreID);
    QString Address(const char* page, const TrackRecord& track) const;

    TrackInfoLinks links_;
    int32_t trackID_ = 0;
    TrackRecord record_;
    QLabel* filename_;
    QLineEdit* fields_[4];
    QComboBox* genre_;
    QListWidget* lines_;
    QLabel* status_;
    SongInfoTransport* transport_;
    std::unique_ptr<SongInfoExchange> exchange_;
};
