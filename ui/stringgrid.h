#pragma once
// A text grid in the manner of the classic string grid: cells addressed (column, row), no header
// views; the first fixedRows rows and fixedCols columns are title cells, painted like buttons,
// never selected or edited. The number of title rows may grow, e.g. to keep found entries shaded.
#include <QList>
#include <QString>
#include <QStringList>
#include <QTableWidget>

class StringGrid : public QTableWidget {
    Q_OBJECT
  public:
    static constexpr int DefaultRowHeight = 24;
    static constexpr int CellTextMargin = 2; // left and right of a title cell's text

    StringGrid(int columns, int rows, int fixedCols, int fixedRows, QWidget* parent = nullptr);

    QString cell(int column, int row) const;
    // Cells outside the grid are ignored.
    void setCell(int column, int row, const QString& text);
    void clearRow(int row);
    // Every row's cells, from row 0 on.
    QList<QStringList> rows() const;
    // Makes the grid exactly these rows, as wide as the first; a shorter row leaves cells empty.
    void setRows(const QList<QStringList>& rows);

    int fixedRows() const { return m_fixedRows; }
    // Clamped to the rows there are.
    void setFixedRows(int rows);
    int fixedCols() const { return m_fixedCols; }
    bool isFixed(int column, int row) const { return row < m_fixedRows || column < m_fixedCols; }

    // Widths and heights are those of the cell, without its one-pixel grid line.
    int colWidth(int column) const;
    void setColWidth(int column, int width);
    void setDefaultRowHeight(int height);
    // Column widths are fixed in pixels; where the font is too wide for a row's texts (titles,
    // usually), the grid's font shrinks in half points until they fit, down to 6 points.
    void fitFontToRow(int row);

  private:
    void restyle();
    void styleItem(QTableWidgetItem* item, int column, int row) const;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
};
