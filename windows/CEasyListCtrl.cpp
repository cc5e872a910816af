#include "windows/CEasyListCtrl.h"

#include <QHeaderView>
#include <QProxyStyle>
#include <QStyleOptionHeader>

namespace {

// Qt asks the style for a downward mark when a column sorts ascending; the list's mark points
// up for ascending and down for descending, as the user reads the order.
class SortMarkStyle final : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
        if (element != PE_IndicatorHeaderArrow || !header) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QStyleOptionHeader flipped(*header);
        if (header->sortIndicator == QStyleOptionHeader::SortDown)
            flipped.sortIndicator = QStyleOptionHeader::SortUp;
        else if (header->sortIndicator == QStyleOptionHeader::SortUp)
            flipped.sortIndicator = QStyleOptionHeader::SortDown;
        QProxyStyle::drawPrimitive(element, &flipped, painter, widget);
    }
};

}  // namespace

CEasyListCtrl::CEasyListCtrl(QWidget* parent)
    : QTableView(parent), model_(new EasyListModel(this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    verticalHeader()->hide();
    // one fixed row height: the view never measures 100,000 rows
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    auto* markStyle = new SortMarkStyle;
    markStyle->setParent(horizontalHeader());
    horizontalHeader()->setStyle(markStyle);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CEasyListCtrl::OnHeaderClicked);
}

bool CEasyListCtrl::SetColumns(const QString& columns) {
    int pos = 0;
    while (pos < columns.size()) {
        int end = columns.indexOf(u';', pos);
        if (end < 0) end = int(columns.size());
        const QString entry = columns.mid(pos, end - pos);
        const int comma = entry.indexOf(u',');
        if (comma < 0) break;
        model_->AddColumn(entry.left(comma));
        setColumnWidth(model_->ColumnCount() - 1, entry.mid(comma + 1).trimmed().toInt());
        pos = end + 1;
    }
    return true;
}

int CEasyListCtrl::SelectionMark() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CEasyListCtrl::OnHeaderClicked(int column) {
    model_->SortOnHeaderClick(column);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(
        column, model_->SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}
