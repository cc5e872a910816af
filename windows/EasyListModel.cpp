#include "windows/EasyListModel.h"

#include <QCollator>
#include <algorithm>

#include "windows/EasyListSort.h"

namespace {

std::vector<QString> ColumnTexts(const std::vector<EasyListRow>& rows, int column) {
    std::vector<QString> texts;
    texts.reserve(rows.size());
    for (const EasyListRow& row : rows) texts.push_back(row.texts.value(column));
    return texts;
}

void Reorder(std::vector<EasyListRow>& rows, const std::vector<int>& order) {
    std::vector<EasyListRow> sorted;
    sorted.reserve(rows.size());
    for (int i : order) sorted.push_back(std::move(rows[size_t(i)]));
    rows = std::move(sorted);
}

}  // namespace

void EasyListModel::AddColumn(const QString& title) {
    const int column = int(titles_.size());
    beginInsertColumns({}, column, column);
    titles_.push_back(title);
    endInsertColumns();
}

int EasyListModel::AddRow(const QStringList& texts) {
    int at = int(rows_.size());
    if (sortOnInsert_) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        const QString first = texts.value(0).toCaseFolded();
        auto it = std::upper_bound(
            rows_.begin(), rows_.end(), first, [&](const QString& text, const EasyListRow& row) {
                return collator.compare(text, row.texts.value(0).toCaseFolded()) < 0;
            });
        at = int(it - rows_.begin());
    }
    beginInsertRows({}, at, at);
    rows_.insert(rows_.begin() + at, EasyListRow{texts, 0});
    endInsertRows();
    return at;
}

void EasyListModel::AddRows(std::vector<EasyListRow> rows) {
    if (rows.empty()) return;
    beginResetModel();
    if (sortOnInsert_) {
        for (auto& row : rows) rows_.push_back(std::move(row));
        Reorder(rows_, InsertionOrder(ColumnTexts(rows_, 0)));
    } else {
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                     std::make_move_iterator(rows.end()));
    }
    endResetModel();
}

bool EasyListModel::SetRowValue(int row, int32_t value) {
    if (row < 0 || row >= RowCount()) return false;
    rows_[size_t(row)].value = value;
    return true;
}

int32_t EasyListModel::GetRowValue(int row) const {
    return row >= 0 && row < RowCount() ? rows_[size_t(row)].value : 0;
}

int EasyListModel::FindRowByValue(int32_t value) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].value == value) return int(i);
    return -1;
}

bool EasyListModel::SetText(int row, int column, const QString& text) {
    if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount()) return false;
    QStringList& texts = rows_[size_t(row)].texts;
    while (texts.size() <= column) texts.push_back({});
    texts[column] = text;
    emit dataChanged(index(row, column), index(row, column));
    return true;
}

QString EasyListModel::Text(int row, int column) const {
    return row >= 0 && row < RowCount() ? rows_[size_t(row)].texts.value(column) : QString();
}

bool EasyListModel::RemoveRow(int row) {
    if (row < 0 || row >= RowCount()) return false;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
}

void EasyListModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void EasyListModel::SortOnHeaderClick(int column) {
    if (column == sortColumn_) {
        ascending_ = !ascending_;
    } else {
        sortColumn_ = column;
        ascending_ = true;
    }
    Sort();
}

void EasyListModel::Sort() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    const std::vector<int> order = SortOrder(ColumnTexts(rows_, sortColumn_), ascending_);
    Reorder(rows_, order);
    if (!before.isEmpty()) {
        std::vector<int> newRow(order.size());
        for (size_t i = 0; i < order.size(); ++i) newRow[size_t(order[i])] = int(i);
        QModelIndexList after;
        for (const QModelIndex& i : before)
            after.push_back(index(newRow[size_t(i.row())], i.column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int EasyListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int EasyListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant EasyListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return Text(index.row(), index.column());
}

QVariant EasyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return titles_.value(section);
}
