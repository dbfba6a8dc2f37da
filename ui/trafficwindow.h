#pragma once
// "Монитор обмена": the exchange log as a table, newest at the bottom and errors in red, with pause,
// auto-scroll, a filter by address, the decoding of the selected frame, counters per address and
// a CSV export. It only reads the recorder: it never talks to the device.
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;
class TrafficCountersModel;
class TrafficModel;
class TrafficRecorder;

class TrafficWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TrafficWindow(TrafficRecorder& recorder, QWidget* parent = nullptr);

    QCheckBox* CheckPause = nullptr;
    QCheckBox* CheckAutoScroll = nullptr;
    QComboBox* ComboAddress = nullptr;
    QPushButton* ButtonClear = nullptr;
    QPushButton* ButtonSave = nullptr;
    QTableView* TableTraffic = nullptr;
    QPlainTextEdit* MemoDecode = nullptr;
    QTableView* TableCounters = nullptr;
    QLabel* LabelTotal = nullptr;

    TrafficModel& model() const { return *m_model; }
    TrafficCountersModel& countersModel() const { return *m_counters; }

    // Takes in what the recorder logged since the last look (the window does it itself while shown).
    void refresh();
    // Writes the rows shown as CSV; false (and the error reported) when the file cannot be written.
    bool saveTo(const QString& path);
    void ButtonSaveClick();

    // Asks for the file to save into (a save dialog by default); tests answer it.
    std::function<QString(const QString& suggested)> askFileName;
    // Shows a failure to the operator (a message box by default); tests record it.
    std::function<void(const QString& text)> reportError;
    // Runs the save when a dialog may open (at once by default). The monitor puts it off past an
    // exchange under way: a dialog opened inside the engine's wait would hold that exchange up.
    std::function<void(std::function<void()> save)> whenDialogMayOpen;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void showDecoding();
    void fillAddressList();
    void addAddresses(int firstRow, int lastRow);
    void chooseFileAndSave();

    TrafficRecorder& m_recorder;
    TrafficModel* m_model = nullptr;
    TrafficCountersModel* m_counters = nullptr;
    QTimer* m_refresh = nullptr;
    bool m_placed = false;
};
