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
class QTableWidget;
class QTimer;
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
    QTableWidget* TableCounters = nullptr;
    QLabel* LabelTotal = nullptr;

    TrafficModel& model() const { return *m_model; }

    // Takes in what the recorder logged since the last look (the window does it itself while shown).
    void refresh();
    // Writes the rows shown as CSV; false (and the error reported) when the file cannot be written.
    bool saveTo(const QString& path);
    void ButtonSaveClick();

    // Asks for the file to save into (a save dialog by default); tests answer it.
    std::function<QString(const QString& suggested)> askFileName;
    // Shows a failure to the operator (a message box by default); tests record it.
    std::function<void(const QString& text)> reportError;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void showCounters();
    void showDecoding();
    void fillAddressList();

    TrafficRecorder& m_recorder;
    TrafficModel* m_model = nullptr;
    QTimer* m_refresh = nullptr;
    quint64 m_countedUpTo = 0;
};
