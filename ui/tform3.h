#pragma once
// TForm3: the scan's progress window ("Определение подключенных приборов"), shown without
// blocking the main window. Devices found so far stay in its grid as shaded title rows.
#include "ui/fixeddialog.h"

class QProgressBar;
class QPushButton;
class StringGrid;

class TForm3 : public FixedDialog {
    Q_OBJECT
  public:
    explicit TForm3(QWidget* parent = nullptr);

    StringGrid* StringGrid1;
    QProgressBar* ProgressBar1; // 0..127: the address asked last
    QPushButton* Button1;       // "Stop"
    // Set by "Stop" (or by a port that cannot be opened); the scan ends at its next address.
    bool StopRequested = false;

    // Empties the grid to its title row and one empty row, clears the progress and the stop flag.
    void prepare();
    // Puts a found device into the next row and shades it; one empty row stays below.
    void addDevice(int address, const QString& speedText, const QString& deviceText);
    void setProgress(int address);
    int nextRow() const { return m_nextRow; }

    void Button1Click();

  protected:
    // Closing the window stops the scan, as "Stop" does, so a hidden scan never holds the window.
    void closeEvent(QCloseEvent* event) override;

  private:
    int m_nextRow = 1;
};
