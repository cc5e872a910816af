#include "songinfo/CTrackInfoDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "db/Store.h"
#include "res/ResourceIds.h"
#include "songinfo/SongInfoExchange.h"
#include "songinfo/SongInfoTransport.h"
#include "songinfo/SongQuery.h"
#include "songinfo/TrackInfoLines.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* Named(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

struct CodePageButton {
    int id;
    int32_t codePage;
    int textId;
};

constexpr CodePageButton kCodePageButtons[] = {
    {IDC_EDITOR_UNICODE, 65001, IDS_UNICODE},
    {IDC_EDITOR_CHINESE_SIMPLIFIED, 936, IDS_CHINESE_SIMPLIFIED},
    {IDC_EDITOR_CHINESE_TRADITIONAL, 950, IDS_CHINESE_TRADITIONAL},
    {IDC_EDITOR_JAPANESE, 932, IDS_JAPANESE},
    {IDC_EDITOR_HEBREW, 1255, IDS_HEBREW},
};

}  // namespace

CTrackInfoDlg::CTrackInfoDlg(TrackInfoLinks links, QWidget* parent)
    : QDialog(parent),
      links_(std::move(links)),
      filename_(Named(new QLabel(this), IDC_EDITOR_FILENAME)),
      fields_{Named(new QLineEdit(this), IDC_EDITOR_ARTIST),
              Named(new QLineEdit(this), IDC_EDITOR_TRACK),
              Named(new QLineEdit(this), IDC_EDITOR_ALBUM),
              Named(new QLineEdit(this), IDC_EDITOR_YEAR)},
      genre_(Named(new QComboBox(this), IDC_EDITOR_GENRE)),
      lines_(Named(new QListWidget(this), IDC_EDITOR_CANDIDATES)),
      status_(Named(new QLabel(links_.text(IDS_STATUS_DOTS), this), IDC_EDITOR_STATUS)),
      transport_(Named(new SongInfoTransport(this), IDC_EDITOR_TRANSPORT)),
      exchange_(std::make_unique<SongInfoExchange>(*transport_)) {
    setObjectName(QString::number(IDD_TRACK_INFO));
    setWindowTitle(links_.text(IDS_TRACK_INFORMATION));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    genre_->setEditable(true);
    genre_->setInsertPolicy(QComboBox::NoInsert);
    filename_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(filename_, 0, 0, 1, 4);
    const int labels[] = {IDS_ARTIST, IDS_TRACK, IDS_ALBUM, IDS_YEAR};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(links_.text(labels[i]), this), 1 + i, 0);
        grid->addWidget(fields_[i], 1 + i, 1);
    }
    grid->addWidget(new QLabel(links_.text(IDS_GENRE), this), 5, 0);
    grid->addWidget(genre_, 5, 1);

    auto button = [this](int id, const QString& text) {
        auto* b = Named(new QPushButton(text, this), id);
        b->setAutoDefault(false);
        return b;
    };
    auto* pickColumn = new QVBoxLayout;
    pickColumn->addWidget(new QLabel(links_.text(IDS_PICK_CORRECT), this));
    pickColumn->addWidget(lines_, 1);
    grid->addLayout(pickColumn, 1, 2, 6, 1);
    auto* sources = new QVBoxLayout;
    QPushButton* all = button(IDC_EDITOR_ALL_ENCODINGS, links_.text(IDS_ALL_ENCODINGS));
    connect(all, &QPushButton::clicked, this, &CTrackInfoDlg::OnAllEncodings);
    sources->addWidget(all);
    for (const CodePageButton& cp : kCodePageButtons) {
        QPushButton* b = button(cp.id, links_.text(cp.textId));
        connect(b, &QPushButton::clicked, this, [this, page = cp.codePage] { OnCodePage(page); });
        sources->addWidget(b);
    }
    QPushButton* parts = button(IDC_EDITOR_FILENAME_PARTS, links_.text(IDS_FILENAME));
    connect(parts, &QPushButton::clicked, this, &CTrackInfoDlg::OnFilename);
    sources->addWidget(parts);
    sources->addStretch();
    grid->addLayout(sources, 1, 3, 6, 1);

    auto* copies = new QHBoxLayout;
    const int copyIds[] = {IDC_EDITOR_TO_ARTIST, IDC_EDITOR_TO_TRACK, IDC_EDITOR_TO_ALBUM,
                           IDC_EDITOR_TO_YEAR};
    for (int i = 0; i < 4; ++i) {
        QPushButton* b =
            button(copyIds[i], links_.text(IDS_TO_FIELD).replace("%s", links_.text(labels[i])));
        connect(b, &QPushButton::clicked, this, [this, i] { OnCopyLine(i); });
        copies->addWidget(b);
    }
    QPushButton* copyAll = button(IDC_EDITOR_TO_ALL, links_.text(IDS_TO_ALL));
    connect(copyAll, &QPushButton::clicked, this, &CTrackInfoDlg::OnCopyAll);
    copies->addWidget(copyAll);
    grid->addLayout(copies, 7, 0, 1, 4);

    auto* server = new QHBoxLayout;
    QPushButton* submit = button(IDC_EDITOR_SUBMIT, links_.text(IDS_SUBMIT_TO_SERVER));
    QPushButton* retrieve = button(IDC_EDITOR_RETRIEVE, links_.text(IDS_RETRIEVE_FROM_SERVER));
    connect(submit, &QPushButton::clicked, this, &CTrackInfoDlg::OnSubmit);
    connect(retrieve, &QPushButton::clicked, this, &CTrackInfoDlg::OnRetrieve);
    server->addWidget(submit);
    server->addWidget(retrieve);
    server->addWidget(status_, 1);
    grid->addLayout(server, 8, 0, 1, 4);

    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = Named(box->addButton(links_.text(IDS_OK), QDialogButtonBox::AcceptRole), 1);
    Named(box->addButton(links_.text(IDS_CANCEL), QDialogButtonBox::RejectRole), 2);
    ok->setDefault(true);
    connect(box, &QDialogButtonBox::accepted, this, &CTrackInfoDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CTrackInfoDlg::reject);
    grid->addWidget(box, 9, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    connect(transport_, &SongInfoTransport::NavigateComplete, this, &CTrackInfoDlg::OnReply);
}

CTrackInfoDlg::~CTrackInfoDlg() = default;

bool CTrackInfoDlg::AwaitingReply() const { return exchange_->AwaitingReply(); }

void CTrackInfoDlg::Load(int32_t trackID) {
    trackID_ = trackID;
    record_ = LoadTrack(links_.database, trackID);
    fields_[0]->setText(Q(record_.Artist));
    fields_[1]->setText(Q(record_.Trackname));
    fields_[2]->setText(Q(record_.Album));
    fields_[3]->setText(Q(record_.Year));
    filename_->setText(Q(record_.Filename));
    genre_->clear();
    std::vector<GenreItem> genres = LoadGenres(links_.database, links_.language);
    SortGenres(genres, links_.language);
    for (const GenreItem& g : genres) genre_->addItem(g.name, g.id);
    genre_->setCurrentIndex(genre_->findData(record_.GenreID));
}

void CTrackInfoDlg::SetLines(const std::vector<QString>& lines) {
    lines_->clear();
    for (const QString& line : lines) lines_->addItem(line);
}

void CTrackInfoDlg::OnCodePage(int32_t codePage) { SetLines(CodePageLines(record_, codePage)); }

void CTrackInfoDlg::OnAllEncodings() { SetLines(AllEncodingLines(record_)); }

void CTrackInfoDlg::OnFilename() { SetLines(FilenameParts(Q(record_.Filename))); }

void CTrackInfoDlg::OnCopyLine(int field) {
    if (QListWidgetItem* item = lines_->currentItem(); item && item->isSelected())
        fields_[field]->setText(item->text());
}

void CTrackInfoDlg::OnCopyAll() {
    for (int i = 0; i < 4; ++i) {
        QListWidgetItem* item = lines_->item(i);
        fields_[i]->setText(item ? item->text() : QString());
    }
}

QString CTrackInfoDlg::Address(const char* page, const TrackRecord& track) const {
    const QString query =
        SongQuery(fields_[0]->text(), fields_[1]->text(), fields_[2]->text(), fields_[3]->text(),
                  track.GenreID, Q(track.FingerPrint), static_cast<uint16_t>(links_.language));
    return BuildRequestAddress(
        links_.infoServer, page,
        links_.sendAcousticPrint
            ? WithAcousticPrint(query, Q(track.AcousticPrint), track.AcousticDuration)
            : query);
}

void CTrackInfoDlg::OnSubmit() {
    record_.Artist = fields_[0]->text().toStdString();
    record_.Trackname = fields_[1]->text().toStdString();
    record_.Album = fields_[2]->text().toStdString();
    record_.Year = fields_[3]->text().toStdString();
    exchange_->Submit(Address(songinfo::AddPage, record_));
    // "sent" once the server has taken it
    status_->setText(links_.text(IDS_SONGINFO_SENDING));
}

void CTrackInfoDlg::OnRetrieve() {
    // the stored genre and fingerprint, never a genre chosen here and not saved
    const TrackRecord stored = LoadTrack(links_.database, trackID_);
    exchange_->Retrieve(Address(songinfo::GetPage, stored));
    status_->setText(links_.text(IDS_SONGINFO_REQUESTED));
}

void CTrackInfoDlg::OnReply(const QString& bodyMarkup, int httpStatus, int retryAfter) {
    const std::optional<ExchangeOutcome> outcome =
        exchange_->Complete(bodyMarkup, httpStatus, retryAfter);
    if (!outcome) return;
    status_->setText(OutcomeText(*outcome, links_.text));
    if (outcome->kind != ExchangeOutcome::Retrieved) return;
    const SongInfoReply& reply = *outcome->reply;
    fields_[0]->setText(reply.artist);
    fields_[1]->setText(reply.trackname);
    fields_[2]->setText(reply.album);
    fields_[3]->setText(reply.year);
    if (int index = genre_->findData(reply.genreID); index >= 0) genre_->setCurrentIndex(index);
}

QString OutcomeText(const ExchangeOutcome& outcome, const DialogTextLoader& text) {
    switch (outcome.kind) {
    case ExchangeOutcome::Sent:
        return text(IDS_SONGINFO_SENT);
    case ExchangeOutcome::Retrieved:
        return text(IDS_SONGINFO_RETRIEVED);
    case ExchangeOutcome::NothingKnown:
        return text(IDS_SONGINFO_UNKNOWN);
    case ExchangeOutcome::Busy:
        // a server that names no wait gets a minute
        return text(IDS_SONGINFO_BUSY)
            .replace("%s", QString::number(outcome.retryAfter > 0 ? outcome.retryAfter : 60));
    case ExchangeOutcome::Unreachable:
        return text(IDS_SONGINFO_UNREACHABLE);
    case ExchangeOutcome::Refused:
        break;
    }
    return text(IDS_SONGINFO_REFUSED).replace("%s", QString::number(outcome.httpStatus));
}

void CTrackInfoDlg::accept() {
    record_.Artist = fields_[0]->text().toStdString();
    record_.Trackname = fields_[1]->text().toStdString();
    record_.Album = fields_[2]->text().toStdString();
    record_.Year = fields_[3]->text().toStdString();
    // a typed name that is not one of the items selects no genre
    const int index = genre_->findText(genre_->currentText(), Qt::MatchExactly);
    record_.GenreID = index >= 0 ? genre_->itemData(index).toInt() : -1;
    UpdateTrackTags(links_.database, record_);
    if (links_.stored) links_.stored();
    // a reply still on its way goes nowhere
    transport_->Stop();
    QDialog::accept();
}

void CTrackInfoDlg::reject() {
    transport_->Stop();
    QDialog::reject();
}
