#pragma once
// The "Общесистемные" view of the main window: its reader, its editors and its command buttons
// (device initialisation, the clock setting, clearing archives and journals).
#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QDialog;
class QWidget;
class ClearingWindow;
class PanelSystemParam;
class ViewHost;
class TForm11;
class TForm14;
class TForm18;
class TForm19;

struct CommandStep;

class SystemParams : public QObject {
    Q_OBJECT
  public:
    // Builds the panel and the view's windows, places the panel in the window and becomes the
    // reader of the system group. The window owns the result.
    static SystemParams* install(ViewHost& host);
    ~SystemParams() override;

    PanelSystemParam* panel() const { return m_panel; }
    TForm11* Form11() const { return m_form11.get(); }
    TForm18* Form18() const { return m_form18.get(); }
    TForm19* Form19() const { return m_form19.get(); }
    TForm14* Form14() const { return m_form14.get(); }

    void ReadSysParam();

    // Shared by ComboWorkMode, ComboTypeSensor, ComboBoxRTS, ComboBoxConditionsWorkPulseExit and
    // ComboBoxModeLine.
    void ComboWorkModeChange(const QString& list);
    void ComboSpeedRSChange();
    void RadioGroupDopUsilClick();

    void ButtonInitParamClick();
    void Button1Click();
    void ButtonClearArhClick();
    void ButtonClearJournalsClick();

    // How a modal window is run (exec() by default); tests answer it instead.
    std::function<int(QDialog&)> runModal;
    // The computer's local clock (tests fix it).
    std::function<QDateTime()> now;

  private:
    explicit SystemParams(ViewHost& host);
    void commitEdit(const QString& field);
    void chooseItem(const QString& list);
    void clear(ClearingWindow& window, const QList<CommandStep>& steps, const QString& question);

    ViewHost& m_host;
    PanelSystemParam* m_panel = nullptr;
    // Top-level windows of their own: a disabled main window must not disable them.
    std::unique_ptr<TForm11> m_form11;
    std::unique_ptr<TForm18> m_form18;
    std::unique_ptr<TForm19> m_form19;
    std::unique_ptr<TForm14> m_form14;
};
