#pragma once
// The catalog window (template 137): artists and their tracks in a tree that is rebuilt each
// time the window is shown; artists and tracks are renamed in place and a track plays on a
// double click. Made once with the main window; closing hides it, Enter and Escape do
// nothing. Main thread.

#include <QDialog>
#include <cstdint>
#include <functional>

#include "windows/DialogText.h"

class CADODataBase;
class CatalogModel;
class QTreeView;

class CCatalogTreeView : public QDialog {
    Q_OBJECT
public:
    using PlayTrack = std::function<void(int32_t trackID)>;
    using ErrorReport = std::function<void(const QString& text)>;

    CCatalogTreeView(CADODataBase* database, const DialogTextLoader& text, PlayTrack playTrack,
                     QWidget* parent = nullptr);
    // Where database errors go; a message box unless set.
    void SetErrorReport(ErrorReport report) { errorReport_ = std::move(report); }
    CatalogModel& Model() { return *model_; }

public slots:
    void accept() override {}
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void OnExpanded(const QModelIndex& index);
    void OnDoubleClicked(const QModelIndex& index);

private:
    CatalogModel* model_;
    QTreeView* tree_;
    PlayTrack playTrack_;
    ErrorReport errorReport_;
};
