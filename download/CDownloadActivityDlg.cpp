#include "download/CDownloadActivityDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "download/ArtistQueue.h"
#include "download/DownloadActivity.h"
#include "res/ResourceIds.h"
#include "res/TextFormat.h"
#include "windows/CEasyListCtrl.h"

namespace {

constexpr int kRefreshPeriodMs = 1000;

template <typename W>
W* Named(W* widget, int controlId) {
    widget->setObjectName(QString::number(controlId));
    return widget;
}

// The list box's exact search over the whole list, which ignores letter case.
int FindExact(const QListWidget& list, const QString& text) {
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text().compare(text, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

CDownloadActivityDlg::CDownloadActivityDlg(CADODataBase* database, DownloadActivity& activity,
                                           int languageId, QWidget* parent)
    : QDialog(parent),
      database_(database),
      activity_(activity),
      language_(languageId),
      artists_(Named(new QListWidget(this), IDC_ACTIVITY_QUEUE_LIST)),
      downloads_(Named(new CEasyListCtrl(this), IDC_ACTIVITY_DOWNLOAD_LIST)),
      status_(Named(new QLabel(this), IDC_ACTIVITY_STATUS)),
      timer_(new QTimer(this)) {
    setObjectName(QString::number(IDD_DOWNLOAD_ACTIVITY));
    setWindowTitle(Text(IDS_DOWNLOAD_ACTIVITY));
    setLayoutDirection(IsRightToLeft(languageId) ? Qt::RightToLeft : Qt::LeftToRight);

    artists_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    downloads_->SetColumns(Text(IDS_TRACK) + ",200;" + Text(IDS_STATUS) + ",100;" +
                           Text(IDS_PROGRESS) + ",100");
    // the progress column takes the room the window has beyond its given width
    downloads_->horizontalHeader()->setStretchLastSection(true);
    status_->setWordWrap(true);
    auto* deleteArtists =
        Named(new QPushButton(Text(IDS_DELETE), this), IDC_ACTIVITY_DELETE_ARTISTS);
    auto* deleteDownload =
        Named(new QPushButton(Text(IDS_DELETE), this), IDC_ACTIVITY_DELETE_DOWNLOAD);
    auto* deleteAll = Named(new QPushButton(Text(IDS_DELETE_ALL), this), IDC_ACTIVITY_DELETE_ALL);
    for (QPushButton* button : {deleteArtists, deleteDownload, deleteAll})
        button->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Named(new QLabel(Text(IDS_ARTISTS_QUEUED), this), IDC_ACTIVITY_QUEUE_LABEL));
    layout->addWidget(artists_, 1);
    layout->addWidget(deleteArtists, 0, Qt::AlignRight);
    layout->addWidget(
        Named(new QLabel(Text(IDS_CURRENT_DOWNLOADS), this), IDC_ACTIVITY_DOWNLOADS_LABEL));
    layout->addWidget(downloads_, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(deleteDownload);
    buttons->addWidget(deleteAll);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    resize(520, 480);

    connect(deleteArtists, &QPushButton::clicked, this, &CDownloadActivityDlg::OnDeleteArtists);
    connect(deleteDownload, &QPushButton::clicked, this, &CDownloadActivityDlg::OnDeleteDownload);
    connect(deleteAll, &QPushButton::clicked, this, &CDownloadActivityDlg::OnDeleteAll);
    connect(timer_, &QTimer::timeout, this, &CDownloadActivityDlg::Refresh);
    timer_->start(kRefreshPeriodMs);
}

QString CDownloadActivityDlg::Text(int stringID) const {
    return QString::fromStdString(LoadResString(stringID, language_));
}

QString CDownloadActivityDlg::Format(int stringID, std::initializer_list<long long> args) const {
    return QString::fromStdString(FormatText(LoadResString(stringID, language_), args));
}

void CDownloadActivityDlg::Refresh() {
    // a hidden window asks the engine for nothing
    if (!isVisible()) return;
    RefreshArtists();
    activity_.RequestSnapshot();
    RefreshDownloads();
    RefreshStatusLine();
}

void CDownloadActivityDlg::RefreshArtists() {
    // items that stay are never touched, so that the user's selection survives the tick
    int p = 0;
    for (const QueuedArtist& artist : WaitingArtists(database_)) {
        const QString name = QString::fromStdString(artist.name);
        const int n = FindExact(*artists_, name);
        if (n < 0) {
            artists_->insertItem(p, name);
            artists_->item(p)->setData(Qt::UserRole, artist.id);
        } else if (n > p) {
            artists_->model()->removeRows(p, n - p);
        } else {
            p = n;
        }
        ++p;
    }
    if (artists_->count() > p) artists_->model()->removeRows(p, artists_->count() - p);
}

void CDownloadActivityDlg::RefreshDownloads() {
    const std::vector<DownloadSnapshotEntry> snapshot = activity_.Snapshot();
    for (const DownloadSnapshotEntry& entry : snapshot) {
        const QString progress =
            Format(IDS_PROGRESS_KB, {entry.kilobytesReceived, entry.kilobytesTotal});
        const int statusId = DownloadStatusTextId(entry.status);
        const QString status = statusId ? Text(statusId) : QString();
        const int row = downloads_->FindRowByValue(entry.id);
        if (row < 0) {
            const int added =
                downloads_->AddRow({QString::fromStdString(entry.name), status, progress});
            downloads_->SetRowValue(added, entry.id);
        } else {
            // the name column stays as first shown
            downloads_->SetItemText(row, 1, status);
            downloads_->SetItemText(row, 2, progress);
        }
    }
    for (int row = downloads_->RowCount() - 1; row >= 0; --row) {
        const int32_t id = downloads_->GetRowValue(row);
        if (std::none_of(snapshot.begin(), snapshot.end(),
                         [id](const DownloadSnapshotEntry& e) { return e.id == id; }))
            downloads_->DeleteRow(row);
    }
}

void CDownloadActivityDlg::RefreshStatusLine() {
    const DownloadEngineActivity a = activity_.Activity();
    const QString peers = a.connections > 0    ? Format(IDS_ACTIVITY_CONNECTED, {a.connections})
                          : a.noCacheReachable ? Format(IDS_ACTIVITY_NO_CACHE, {a.cachesAsked})
                          : a.cachesAsked > 0  ? Format(IDS_ACTIVITY_LOOKING, {a.cachesAsked})
                                               : QString();
    QString line =
        a.searching
            ? Format(IDS_ACTIVITY_SEARCHING,
                     {a.resultCount, a.searchAge, a.cleanupCountdown, a.removalCountdown})
            : Format(IDS_ACTIVITY_NO_SEARCH, {a.searchAge, a.cleanupCountdown, a.removalCountdown});
    if (!a.lastRefusal.empty())
        line +=
            "\n" + Text(IDS_ACTIVITY_REFUSED).replace("%s", QString::fromStdString(a.lastRefusal));
    status_->setText(peers.isEmpty() ? line : peers + '\n' + line);
}

void CDownloadActivityDlg::OnDeleteArtists() {
    for (int i = artists_->count() - 1; i >= 0; --i) {
        const QListWidgetItem* item = artists_->item(i);
        if (item->isSelected()) RemoveQueuedArtist(database_, item->data(Qt::UserRole).toInt());
    }
}

void CDownloadActivityDlg::OnDeleteDownload() {
    const int row = downloads_->SelectionMark();
    if (row < 0) return;
    // A header click sorts the rows, so a row index need not be a snapshot index: the mark
    // goes to the entry of the row's download ID in the engine's current snapshot, which is
    // also the snapshot the mark applies to. A download gone meanwhile is marked nowhere.
    const int32_t id = downloads_->GetRowValue(row);
    const std::vector<DownloadSnapshotEntry> snapshot = activity_.Snapshot();
    const auto it = std::find_if(snapshot.begin(), snapshot.end(),
                                 [id](const DownloadSnapshotEntry& e) { return e.id == id; });
    if (it != snapshot.end()) activity_.MarkForDelete(int(it - snapshot.begin()));
}

void CDownloadActivityDlg::OnDeleteAll() { activity_.MarkAllForDelete(downloads_->RowCount()); }
