#pragma once
// The exchange options of the window ("Сервис" > "Параметры обмена"): fast reply completion and
// the retries of a read on a noisy line, kept
// in a settings file of its own next to Sens.cfg (whose eight lines other installations read, so
// nothing new may go there) and applied to the engine.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QDialog;
class ExchangeOptionsDialog;
class ViewHost;

class ExchangeOptions : public QObject {
    Q_OBJECT
  public:
    // The file in the working directory at start-up, beside Sens.cfg.
    static constexpr const char* FileName = "kastari-monitor.ini";

    // Reads the file, switches fast completion on when it or the command line (--fast) asks for
    // it, sets the retries it holds, and adds the menu item. The window owns the result.
    static ExchangeOptions* install(ViewHost& host, bool fastFromCommandLine);
    ~ExchangeOptions() override;

    ExchangeOptionsDialog* dialog() const { return m_dialog.get(); }
    QString filePath() const { return m_path; }

    // The menu item: the dialog, and on "Ok" the choices that changed applied and saved.
    void MenuExchangeOptionsClick();

    // How the dialog is run (exec() by default); tests answer it instead.
    std::function<int(QDialog&)> runModal;

  private:
    ExchangeOptions(ViewHost& host, bool fastFromCommandLine);

    ViewHost& m_host;
    QString m_path;
    std::unique_ptr<ExchangeOptionsDialog> m_dialog;
};
