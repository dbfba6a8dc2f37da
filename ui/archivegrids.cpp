#include "ui/archivegrids.h"

#include "ui/stringgrid.h"

#include <QFont>
#include <QVariant>

namespace {

// The widths go with the grid: a month archive has one column fewer, and the fifth comes back at
// its own width when a day archive follows.
void setWidths(StringGrid& grid, const QList<int>& widths) {
    grid.setProperty("columnWidths", QVariant::fromValue(widths));
    for (int c = 0; c < grid.columnCount() && c < widths.size(); ++c)
        grid.setColWidth(c, widths[c]);
}

} // namespace

StringGrid* makeArchiveGrid(QWidget* parent) {
    auto* grid = new StringGrid(5, 2, 0, 1, parent);
    grid->setObjectName(QStringLiteral("StringGridArchives"));
    setWidths(*grid, {132, 120, 118, 120, 156});
    return grid;
}

StringGrid* makeJournalGrid(QWidget* parent) {
    auto* grid = new StringGrid(4, 2, 0, 1, parent);
    grid->setObjectName(QStringLiteral("StringGridJournals"));
    setWidths(*grid, {134, 136, 132, 373});
    return grid;
}

void showReading(StringGrid& grid, const archives::Reading& reading) {
    grid.setRows(archives::gridRows(reading));
    setWidths(grid, grid.property("columnWidths").value<QList<int>>());
    grid.setFont(QFont());
    for (int row = 0; row < grid.rowCount(); ++row)
        grid.fitFontToRow(row);
    if (!reading.linkFailed()) grid.show();
}
