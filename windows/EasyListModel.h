#pragma once
// The rows of a sortable report list: each row owns a copy of its column texts and one user
// value, which travel with it when the rows are sorted. Main thread (it is a view's model).

#include <QAbstractTableModel>
#include <QStringList>
#include <cstdint>
#include <vector>

struct EasyListRow {
    QStringList texts;
    int32_t value = 0;
};

class EasyListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Rows inserted later stand in ascending order of their first text (ignoring case)
    // instead of at the end.
    void SetSortOnInsert(bool sorted) { sortOnInsert_ = sorted; }
    void AddColumn(const QString& title);
    int ColumnCount() const { return int(titles_.size()); }

    // Returns the row's index as placed.
    int AddRow(const QStringList& texts);
    // Adds many rows at once, each placed as AddRow would.
    void AddRows(std::vector<EasyListRow> rows);
    // false for a row that does not exist
    bool SetRowValue(int row, int32_t value);
    int32_t GetRowValue(int row) const;
    // The first row holding the value, or -1.
    int FindRowByValue(int32_t value) const;
    bool SetText(int row, int column, const QString& text);
    QString Text(int row, int column) const;
    bool RemoveRow(int row);
    void Clear();
    int RowCount() const { return int(rows_.size()); }

    // Header click: the same column reverses the direction, another ascends.
    void SortOnHeaderClick(int column);
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void Sort();

    QStringList titles_;
    std::vector<EasyListRow> rows_;
    bool sortOnInsert_ = false;
    int sortColumn_ = -1;
    bool ascending_ = true;
};
