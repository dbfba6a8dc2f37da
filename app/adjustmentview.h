#pragma once
// The "Настройка" view of the main window: its reader (run by the group choice and the poll), its
// editors, the zero-offset averaging and the two calculators, on the channel checked in
// "Выбор канала".
#include <QObject>
#include <QString>
#include <optional>

class OperatorAction;
class PanelAdjustment;
class QLineEdit;
class ViewHost;

class AdjustmentView : public QObject {
    Q_OBJECT
  public:
    // Builds the panel, places it in the window and becomes the reader of the adjustment group.
    // The window owns the result.
    static AdjustmentView* install(ViewHost& host);

    PanelAdjustment* panel() const { return m_panel; }

    void ReadAdjustment();

    // The five radio groups.
    void RadioEnabledChannelClick(const QString& group);
    // The up-downs of the gain fields and of the window shift: an arrow steps, an arrow is let go.
    void UpDownResist1Changing(const QString& upDown);
    void UpDownResist1MouseUp(const QString& upDown);

    // Zero-offset averaging.
    void ButtonShiftdTStartClick();
    void ButtonShiftdTEndClick();
    // The calculators: transducer spacing (writes nothing) and the additional delay.
    void EditSpeedSoundPEAKeyPress();
    void EditSpeedSoundKeyPress();

  private:
    explicit AdjustmentView(ViewHost& host);
    void keyPressed(const QString& field);
    void commit(const QString& field);
    // Checks and writes an edit field (the up-down of its Tag follows the value).
    void editField(const QString& field);
    void averagingStep(const QString& offsetBefore, const QString& differenceBefore);
    // A calculator's Enter: the typed sound speed, then the calculation with the window disabled.
    void runCalculator(const QString& field, void (AdjustmentView::*calculate)(float));
    void calibrate(float c);
    void computeSpacing(float c);
    QLineEdit* edit(const char* name) const;

    ViewHost& m_host;
    PanelAdjustment* m_panel = nullptr;
    // A meter's channel: what a reading comes from and what an averaging belongs to.
    struct Source {
        int address = 0;
        int channel = 0;
        bool operator==(const Source&) const = default;
    };
    Source current() const;
    // Whose measurements the panel shows (the last full read), and whose zero offset is being
    // averaged while "Начало" is down.
    Source m_shown;
    std::optional<Source> m_averaging;
    // Whose transducer spacing "Осевая база" shows: it is nobody's register, so no reading replaces it.
    std::optional<Source> m_spacingFor;
};
