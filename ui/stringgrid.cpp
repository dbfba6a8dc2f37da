#include "ui/stringgrid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

// Paints title cells with the button face and a raised edge instead of the normal cell look.
class FixedCellDelegate : public QStyledItemDelegate {
  public:
    FixedCellDelegate(StringGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!m_grid->isFixed(index.column(), index.row())) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QPalette& pal = option.palette;
        const QRect r = option.rect;
        painter->save();
        painter->fillRect(r, pal.button());
        painter->setPen(pal.light().color());
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.topLeft(), r.bottomLeft());
        painter->setPen(pal.buttonText().color());
        painter->setFont(option.font);
        painter->drawText(r.adjusted(StringGrid::CellTextMargin, 0, -StringGrid::CellTextMargin, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

  private:
    StringGrid* m_grid;
};

} // namespace

StringGrid::StringGrid(int columns, int rows, int fixedCols, int fixedRows, QWidget* parent)
    : QTableWidget(rows, columns, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setItemDelegate(new FixedCellDelegate(this));
    setDefaultRowHeight(DefaultRowHeight);
    m_fixedCols = fixedCols;
    setFixedRows(fixedRows);
}

QString StringGrid::cell(int column, int row) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void StringGrid::setCell(int column, int row, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
    QTableWidgetItem* it = item(row, column);
    if (!it) {
        if (text.isEmpty()) return;
        it = new QTableWidgetItem;
        styleItem(it, column, row);
        setItem(row, column, it);
    }
    it->setText(text);
}

void StringGrid::clearRow(int row) {
    for (int c = 0; c < columnCount(); ++c)
        setCell(c, row, QString());
}

QList<QStringList> StringGrid::rows() const {
    QList<QStringList> out;
    for (int r = 0; r < rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < columnCount(); ++c)
            row << cell(c, r);
        out << row;
    }
    return out;
}

void StringGrid::setRows(const QList<QStringList>& rows) {
    setColumnCount(rows.isEmpty() ? 0 : int(rows.first().size()));
    setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            setCell(c, r, rows[r].value(c));
    restyle();
}

void StringGrid::setFixedRows(int rows) {
    m_fixedRows = std::max(0, std::min(rows, rowCount()));
    restyle();
}

int StringGrid::colWidth(int column) const {
    return columnWidth(column) - 1;
}

void StringGrid::setColWidth(int column, int width) {
    setColumnWidth(column, width + 1);
}

void StringGrid::setDefaultRowHeight(int height) {
    verticalHeader()->setDefaultSectionSize(height + 1);
}

void StringGrid::fitFontToRow(int row) {
    QFont f = font();
    const auto fits = [&](const QFont& font) {
        const QFontMetrics fm(font);
        for (int c = 0; c < columnCount(); ++c)
            if (fm.horizontalAdvance(cell(c, row)) + 2 * CellTextMargin > colWidth(c)) return false;
        return true;
    };
    while (f.pointSizeF() > 6.0 && !fits(f))
        f.setPointSizeF(f.pointSizeF() - 0.5);
    setFont(f);
}

void StringGrid::restyle() {
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (QTableWidgetItem* it = item(r, c)) styleItem(it, c, r);
    viewport()->update();
}

void StringGrid::styleItem(QTableWidgetItem* item, int column, int row) const {
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    if (!isFixed(column, row)) flags |= Qt::ItemIsSelectable;
    item->setFlags(flags);
}
