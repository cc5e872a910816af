#include "windows/CSearchDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/ResourceIds.h"
#include "windows/CEasyListCtrl.h"
#include "windows/CatalogStore.h"

CSearchDlg::CSearchDlg(CADODataBase* database, const DialogTextLoader& text, PlayTrack playTrack,
                       QWidget* parent)
    : QDialog(parent),
      database_(database),
      playTrack_(std::move(playTrack)),
      text_(new QLineEdit(this)),
      search_(new QPushButton(text(IDS_SEARCH), this)),
      list_(new CEasyListCtrl(this)) {
    setObjectName(QString::number(IDD_SEARCH));
    setWindowTitle(text(IDS_SEARCH));
    text_->setObjectName(QString::number(IDC_SEARCH_TEXT));
    search_->setObjectName(QString::number(IDC_SEARCH_BUTTON));
    search_->setDefault(true);
    list_->setObjectName(QString::number(IDC_SEARCH_LIST));
    list_->Rows().SetSortOnInsert(true);
    list_->SetColumns(text(IDS_TRACK) + ",150;" + text(IDS_ARTIST) + ",100;" + text(IDS_ALBUM) +
                      ",150;" + text(IDS_FORMAT) + ",50");

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(text_, 1);
    row->addWidget(search_);
    layout->addLayout(row);
    layout->addWidget(list_, 1);
    resize(440, 360);

    errorReport_ = [this](const QString& error) {
        QMessageBox::warning(this, windowTitle(), error);
    };
    connect(search_, &QPushButton::clicked, this, &CSearchDlg::OnSearch);
    connect(list_, &QAbstractItemView::doubleClicked, this, &CSearchDlg::OnListDoubleClicked);
}

void CSearchDlg::OnSearch() {
    list_->Clear();
    std::vector<CatalogStore::SearchRow> found;
    std::string error;
    if (!CatalogStore::Search(database_, text_->text().toStdString(), found, error)) {
        errorReport_(QString::fromStdString(error));
        return;
    }
    std::vector<EasyListRow> rows;
    rows.reserve(found.size());
    for (const auto& f : found) {
        rows.push_back({{QString::fromStdString(f.track), QString::fromStdString(f.artist),
                         QString::fromStdString(f.album), QString::fromStdString(f.format)},
                        f.id});
    }
    list_->AddRows(std::move(rows));
}

void CSearchDlg::OnListDoubleClicked() {
    const int row = list_->SelectionMark();
    if (row >= 0 && playTrack_) playTrack_(list_->GetRowValue(row));
}
