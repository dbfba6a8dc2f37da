#pragma once
// "Архивы в базе": what kastari-collect gathered, without a meter on the line. The database, the
// meters in it, and one meter's archive or journal for a channel and a range of days in the same
// grids the main window reads the meter into. A window of its own above the main window; it never
// talks to a meter. While it waits for the database it stays movable and can give up ("Стоп").
#include "ui/floatingwindow.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class StringGrid;

class DatabaseWindow : public FloatingWindow {
    Q_OBJECT
  public:
    DatabaseWindow();

    // One meter of the list, as the table shows it; `reasons` is the state's tooltip. One without a
    // number never answered: it is shown by its line and address, and cannot be chosen.
    struct MeterRow {
        QString number, name, line, address, lastCollected, outcome, gaps, state, reasons;
    };
    // The list, the meter numbered `keep` chosen again when it is in it (the first one otherwise).
    void setMeters(const QList<MeterRow>& meters, const QString& keep = {});
    // The number of the meter chosen in the list; empty when none is.
    QString chosenMeter() const;
    // 0..2 archives, 3 faults, 4 operator, 5 abnormal situations (of the chosen channel).
    int chosenArchive() const;
    int chosenChannel() const; // 0 or 1
    // Shows the archive grid or the journal grid, the other hidden.
    void showGrid(bool archive);
    // A short text; `details` (a server's own words) waits behind "Подробнее".
    void setStatus(const QString& text, const QString& details = {});
    // The busy cursor and "Стоп" while the database is asked.
    void setWaiting(bool waiting);

    QLineEdit* EditDatabase = nullptr;
    QPushButton* ButtonOpenDatabase = nullptr;
    QTableWidget* TableMeters = nullptr;
    QComboBox* ComboArchive = nullptr;
    QComboBox* ComboChannel = nullptr;
    QDateEdit* DateFrom = nullptr;
    QDateEdit* DateTo = nullptr;
    QPushButton* ButtonShow = nullptr;
    StringGrid* StringGridArchives = nullptr;
    StringGrid* StringGridJournals = nullptr;
    QLabel* LabelStatus = nullptr;
    QPushButton* ButtonDetails = nullptr;
    QPlainTextEdit* TextDetails = nullptr;
    QPushButton* ButtonStop = nullptr;
    QPushButton* ButtonSaveArchive = nullptr;
    QPushButton* ButtonChart = nullptr;
    QPushButton* ButtonReport = nullptr;
    QPushButton* ButtonCollect = nullptr;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  signals:
    void openRequested();
    void meterChosen();
    void showRequested();
    void stopRequested();
};
