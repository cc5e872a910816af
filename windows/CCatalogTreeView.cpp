#include "windows/CCatalogTreeView.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QShowEvent>
#include <QTreeView>

#include "res/ResourceIds.h"
#include "windows/CatalogModel.h"

CCatalogTreeView::CCatalogTreeView(CADODataBase* database, const DialogTextLoader& text,
                                   PlayTrack playTrack, QWidget* parent)
    : QDialog(parent),
      model_(new CatalogModel(database, text(IDS_RETRIEVING), this)),
      tree_(new QTreeView(this)),
      playTrack_(std::move(playTrack)) {
    setObjectName(QString::number(IDD_CATALOG));
    setWindowTitle(text(IDS_LIBRARY));
    tree_->setObjectName(QString::number(IDC_CATALOG_TREE));
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    // every row one height: the view never measures 20,000 artists
    tree_->setUniformRowHeights(true);
    tree_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    resize(320, 420);

    errorReport_ = [this](const QString& error) {
        QMessageBox::warning(this, windowTitle(), error);
    };
    connect(tree_, &QTreeView::expanded, this, &CCatalogTreeView::OnExpanded);
    connect(tree_, &QTreeView::doubleClicked, this, &CCatalogTreeView::OnDoubleClicked);
    connect(model_, &CatalogModel::RenameFailed, this,
            [this](const QString& error) { errorReport_(error); });
}

void CCatalogTreeView::showEvent(QShowEvent* event) {
    // only a show the program asks for rebuilds, not the window manager's restore
    if (!event->spontaneous() && !model_->Rebuild()) errorReport_(model_->LastError());
    QDialog::showEvent(event);
}

void CCatalogTreeView::closeEvent(QCloseEvent* event) {
    hide();
    event->accept();
}

void CCatalogTreeView::resizeEvent(QResizeEvent* event) {
    tree_->setGeometry(10, 10, width() - 20, height() - 20);
    QDialog::resizeEvent(event);
}

void CCatalogTreeView::OnExpanded(const QModelIndex& index) {
    if (!model_->LoadArtist(index)) errorReport_(model_->LastError());
}

void CCatalogTreeView::OnDoubleClicked(const QModelIndex& index) {
    // the hit item must be the selected one: the first click of the two selects it
    if (index != tree_->currentIndex()) return;
    const int32_t value = model_->ItemValue(index);
    if (value > 0 && playTrack_) playTrack_(value);
}
