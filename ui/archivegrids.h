#pragma once
// The archive and journal grids as the main window shows them (column widths, title row) and the
// one way a reading fills them, so that rows from the meter and rows from the database look alike.
#include "archives/reading.h"

class QWidget;
class StringGrid;

StringGrid* makeArchiveGrid(QWidget* parent);
StringGrid* makeJournalGrid(QWidget* parent);

// The reading's title row and rows; the column widths are fixed, so the texts fit them in a smaller
// font where they must. The grid is shown unless the reading ended on a lost link (its rows are
// still there for "Сохранить архив").
void showReading(StringGrid& grid, const archives::Reading& reading);
