#include "songinfo/CInfoBrowser.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QResizeEvent>
#include <QWebEngineView>

#include "res/ResourceIds.h"
#include "songinfo/SongInfoTransport.h"
#include "songinfo/SongQuery.h"

namespace {

struct PageButton {
    int kind;
    int id;
    int textId;
    const char* page;
};

constexpr PageButton kPages[] = {
    {CInfoBrowser::Artist, IDC_INFO_ARTIST, IDS_ARTIST, songinfo::ArtistPage},
    {CInfoBrowser::Lyrics, IDC_INFO_LYRICS, IDS_LYRICS, songinfo::LyricsPage},
    {CInfoBrowser::Photos, IDC_INFO_PHOTOS, IDS_PHOTOS, songinfo::PhotosPage},
    {CInfoBrowser::Buy, IDC_INFO_BUY, IDS_BUY, songinfo::BuyPage},
    {CInfoBrowser::Links, IDC_INFO_LINKS, IDS_LINKS, songinfo::LinksPage},
};

constexpr int kButtonHeight = 28;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void PrepareWebEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

CInfoBrowser::CInfoBrowser(InfoBrowserLinks links, QWidget* parent)
    : QDialog(parent), links_(std::move(links)), view_(new QWebEngineView(this)) {
    setObjectName(QString::number(IDD_INFO_BROWSER));
    setWindowTitle(links_.text(IDS_INFO_BROWSER));
    setModal(false);
    setSizeGripEnabled(true);
    view_->setObjectName(QString::number(IDC_INFO_VIEW));
    for (const PageButton& p : kPages) {
        auto* b = new QPushButton(links_.text(p.textId), this);
        b->setObjectName(QString::number(p.id));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, kind = p.kind] { ShowPage(kind); });
        buttons_.push_back(b);
    }
    resize(640, 480);
}

void CInfoBrowser::ShowPage(int kind) {
    if (kind < Artist || kind > Links) return;
    const TrackRecord track = links_.currentTrack ? links_.currentTrack() : TrackRecord{};
    const QString query =
        SongQuery(Q(track.Artist), Q(track.Trackname), Q(track.Album), Q(track.Year), track.GenreID,
                  Q(track.FingerPrint), static_cast<uint16_t>(links_.language));
    const QString address = BuildRequestAddress(links_.infoServer, kPages[kind - 1].page, query);
    // a load still under way gives way to the new one
    view_->stop();
    view_->load(RequestUrl(address));
    kind_ = kind;
}

void CInfoBrowser::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    const int w = e->size().width();
    const int h = e->size().height();
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setGeometry(4, 4 + static_cast<int>(i) * (kButtonHeight + 4),
                                 ButtonColumnWidth - 8, kButtonHeight);
    view_->setGeometry(ButtonColumnWidth, 0, w - ButtonColumnWidth, h);
    view_->update();
}
