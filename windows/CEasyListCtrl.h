#pragma once
// A report list whose rows own their texts and a user value, sorted by a click on a column
// header (the same column again reverses). A model and view, so that 100,000 rows stay quick.
// Main thread.

#include <QTableView>
#include <cstdint>
#include <vector>

#include "windows/EasyListModel.h"

class CEasyListCtrl : public QTableView {
    Q_OBJECT
public:
    explicit CEasyListCtrl(QWidget* parent = nullptr);

    // "title,width;title,width;...": appends the columns up to the first entry without a comma.
    bool SetColumns(const QString& columns);
    int AddRow(const QStringList& texts) { return model_->AddRow(texts); }
    void AddRows(std::vector<EasyListRow> rows) { model_->AddRows(std::move(rows)); }
    bool SetRowValue(int row, int32_t value) { return model_->SetRowValue(row, value); }
    int32_t GetRowValue(int row) const { return model_->GetRowValue(row); }
    int FindRowByValue(int32_t value) const { return model_->FindRowByValue(value); }
    bool SetItemText(int row, int column, const QString& text) {
        return model_->SetText(row, column, text);
    }
    bool DeleteRow(int row) { return model_->RemoveRow(row); }
    void Clear() { model_->Clear(); }
    int RowCount() const { return model_->RowCount(); }
    // The row that last had the focus, or -1.
    int SelectionMark() const;
    EasyListModel& Rows() { return *model_; }

private slots:
    void OnHeaderClicked(int column);

private:
    EasyListModel* model_;
};
