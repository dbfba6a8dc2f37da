#include "app/exchangeoptions.h"

#include "app/viewhost.h"
#include "link/tmodbus.h"
#include "ui/exchangeoptionsdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QSettings>
#include <QSpinBox>

namespace {
const QString FastKey = QStringLiteral("Exchange/FastCompletion");
const QString RetriesKey = QStringLiteral("Exchange/Retries");
} // namespace

ExchangeOptions* ExchangeOptions::install(ViewHost& host, bool fastFromCommandLine) {
    return new ExchangeOptions(host, fastFromCommandLine);
}

ExchangeOptions::ExchangeOptions(ViewHost& host, bool fastFromCommandLine)
    : QObject(host.actionWindow()), m_host(host),
      m_path(QDir::current().absoluteFilePath(QLatin1String(FileName))),
      m_dialog(std::make_unique<ExchangeOptionsDialog>()) {
    setObjectName(QStringLiteral("ExchangeOptions"));
    runModal = [](QDialog& dialog) { return dialog.exec(); };
    // An unreadable or damaged file counts as no choice made: the line's own rule.
    const QSettings file(m_path, QSettings::IniFormat);
    const bool saved = file.value(FastKey, false).toBool();
    m_host.exchange().engine().setFastCompletion(saved || fastFromCommandLine);
    // setRetries keeps a number out of range within 0 to 5.
    m_host.exchange().engine().setRetries(file.value(RetriesKey, 0).toInt());
    QAction* item =
        m_host.addServiceItem(QStringLiteral("MenuExchangeOptions"), QStringLiteral("Параметры обмена"));
    connect(item, &QAction::triggered, this, &ExchangeOptions::MenuExchangeOptionsClick,
            Qt::QueuedConnection);
}

ExchangeOptions::~ExchangeOptions() = default;

void ExchangeOptions::MenuExchangeOptionsClick() {
    TModBus& bus = m_host.exchange().engine();
    m_dialog->CheckFastCompletion->setChecked(bus.fastCompletion());
    m_dialog->SpinRetries->setValue(bus.retries());
    if (runModal(*m_dialog) != QDialog::Accepted) return;
    const bool fast = m_dialog->CheckFastCompletion->isChecked();
    const int retries = m_dialog->SpinRetries->value();
    const bool fastChanged = fast != bus.fastCompletion();
    const bool retriesChanged = retries != bus.retries();
    if (!fastChanged && !retriesChanged) return;
    // Only what the operator changed is saved: --fast is for its run only. The exchange in
    // progress, if any, keeps the rules it started with.
    QSettings file(m_path, QSettings::IniFormat);
    if (fastChanged) {
        bus.setFastCompletion(fast);
        file.setValue(FastKey, fast);
    }
    if (retriesChanged) {
        bus.setRetries(retries);
        file.setValue(RetriesKey, retries);
    }
    file.sync();
    if (file.status() != QSettings::NoError)
        m_host.ShowError(QStringLiteral("Не удалось сохранить параметры обмена в файл %1").arg(m_path));
}
