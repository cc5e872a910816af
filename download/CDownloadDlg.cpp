#include "download/CDownloadDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "db/Store.h"
#include "download/ArtistQueue.h"
#include "res/ResourceIds.h"

namespace {

constexpr int kMaxNameLength = 100;
constexpr int kSpeedCount = 4;
const char* const kSpeedSetting = "ConnectionSpeed";

template <typename W>
W* Named(W* widget, int controlId) {
    widget->setObjectName(QString::number(controlId));
    return widget;
}

QLabel* Explanation(const QString& text, int controlId, QWidget* parent) {
    auto* label = Named(new QLabel(text, parent), controlId);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CDownloadDlg::CDownloadDlg(ArtistQueue& queue, int languageId, QWidget* parent)
    : QDialog(parent), queue_(queue) {
    auto text = [languageId](int id) {
        return QString::fromStdString(LoadResString(id, languageId));
    };
    setObjectName(QString::number(IDD_ADD_ARTIST));
    setWindowTitle(text(IDS_DOWNLOAD));
    setLayoutDirection(IsRightToLeft(languageId) ? Qt::RightToLeft : Qt::LeftToRight);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Explanation(text(IDS_ADD_ARTIST_INTRO), IDC_ADDARTIST_INTRO, this));

    auto* grid = new QGridLayout;
    grid->addWidget(Named(new QLabel(text(IDS_ARTIST), this), IDC_ADDARTIST_NAME_LABEL), 0, 0);
    name_ = Named(new QLineEdit(this), IDC_ADDARTIST_NAME);
    grid->addWidget(name_, 0, 1);
    auto* add = Named(new QPushButton(text(IDS_ADD_ARTIST_BUTTON), this), IDC_ADDARTIST_ADD);
    add->setDefault(true);
    add->setAutoDefault(true);
    grid->addWidget(add, 0, 2);
    list_ = Named(new QListWidget(this), IDC_ADDARTIST_LIST);
    grid->addWidget(list_, 1, 1, 1, 2);
    layout->addLayout(grid);

    layout->addWidget(
        Explanation(text(IDS_CONNECTION_SPEED_INTRO), IDC_ADDARTIST_SPEED_INTRO, this));
    speed_ = Named(new QComboBox(this), IDC_ADDARTIST_SPEED);
    for (int i = 0; i < kSpeedCount; ++i) speed_->addItem(text(ConnectionSpeedStringId(i)));
    speed_->setCurrentIndex(GetSetting(queue_.Database(), kSpeedSetting));
    layout->addWidget(speed_);

    auto* ok = Named(new QPushButton(text(IDS_OK), this), IDOK);
    ok->setAutoDefault(false);
    layout->addWidget(ok, 0, Qt::AlignRight);

    connect(add, &QPushButton::clicked, this, &CDownloadDlg::OnAdd);
    connect(ok, &QPushButton::clicked, this, &CDownloadDlg::OnOK);
    setMinimumWidth(520);
}

void CDownloadDlg::OnAdd() {
    // nothing is checked: the queue itself refuses a name it holds
    const std::string name = name_->text().left(kMaxNameLength).toStdString();
    // kept in alphabetical order, capitals or not, as a sorted list box keeps it
    const QString entry = QString::fromStdString(name);
    int row = 0;
    while (row < list_->count() &&
           list_->item(row)->text().compare(entry, Qt::CaseInsensitive) <= 0)
        ++row;
    list_->insertItem(row, entry);
    queue_.FindSimilarArtists(name);
    queue_.Enqueue(name);
    name_->clear();
}

void CDownloadDlg::OnOK() {
    for (int i = 0; i < list_->count(); ++i) queue_.Enqueue(list_->item(i)->text().toStdString());
    SetSetting(queue_.Database(), kSpeedSetting, speed_->currentIndex());
    accept();
}
