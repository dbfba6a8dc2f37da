#pragma once
// The "Измерения" view of the main window: its reader (run by the group choice and the poll), which
// shows the operation or the verification layout as the device's work mode calls for, the volume
// resets, the zero shift and pulse-output editors and the switch of the device's signal imitator.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class PanelCounters;
class PollReport;
class QWidget;
class ViewHost;

class CountersView : public QObject {
    Q_OBJECT
  public:
    // Builds the panel, places it in the window and becomes the reader of the measurement group.
    // The window owns the result.
    static CountersView* install(ViewHost& host);

    PanelCounters* panel() const { return m_panel; }

    void ReadCounters();
    // Each hands the flows it read to the poll's report.
    void ReadCountSht(PollReport& report); // operation: both channels
    void ReadCountPov(PollReport& report); // verification: the checked channel

    // "Сброс объема" of either layout (ButtonClearVCh1, ButtonClearVCh2, ButtonClearV).
    void ButtonClearVClick(const QString& button);
    void ButtonIMRClick();
    // The Enter branch of the zero shift's key handler (the other keys are the panel's filter).
    void EditShiftZeroPovKeyPress();
    void ComboBoxWorkModePulseExitPovChange();

  private:
    explicit CountersView(ViewHost& host);

    ViewHost& m_host;
    PanelCounters* m_panel = nullptr;
    // Whose values each layout shows (a meter, and for verification its channel): a layout is hidden
    // before reading another's, so that its reset buttons never stand beside a different meter's
    // counters.
    struct Source {
        int address = 0;
        int channel = 0;
        bool operator==(const Source&) const = default;
    };
    std::optional<Source> m_operationShown;
    std::optional<Source> m_verificationShown;
};
