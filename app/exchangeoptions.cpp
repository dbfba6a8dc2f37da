#include "app/exchangeoptions.h"

#include "app/tform1.h"
#include "link/tmodbus.h"
#include "ui/exchangeoptionsdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QSettings>

namespace {
const QString FastKey = QStringLiteral("Exchange/FastCompletion");
}

ExchangeOptions* ExchangeOptions::install(TForm1& form, bool fastFromCommandLine) {
    return new ExchangeOptions(form, fastFromCommandLine);
}

ExchangeOptions::ExchangeOptions(TForm1& form, bool fastFromCommandLine)
    : QObject(&form), m_form(form), m_path(QDir::current().absoluteFilePath(QLatin1String(FileName))),
      m_dialog(std::make_unique<ExchangeOptionsDialog>()) {
    setObjectName(QStringLiteral("ExchangeOptions"));
    runModal = [](QDialog& dialog) { return dialog.exec(); };
    // An unreadable or damaged file counts as no choice made: the line's own rule.
    const bool saved = QSettings(m_path, QSettings::IniFormat).value(FastKey, false).toBool();
    m_form.ModBus->setFastCompletion(saved || fastFromCommandLine);
    QAction* item =
        m_form.addServiceItem(QStringLiteral("MenuExchangeOptions"), QStringLiteral("Параметры обмена"));
    connect(item, &QAction::triggered, this, &ExchangeOptions::MenuExchangeOptionsClick,
            Qt::QueuedConnection);
}

ExchangeOptions::~ExchangeOptions() = default;

void ExchangeOptions::MenuExchangeOptionsClick() {
    TModBus& bus = *m_form.ModBus;
    m_dialog->CheckFastCompletion->setChecked(bus.fastCompletion());
    if (runModal(*m_dialog) != QDialog::Accepted) return;
    const bool fast = m_dialog->CheckFastCompletion->isChecked();
    if (fast == bus.fastCompletion()) return;
    // The exchange in progress, if any, keeps the rule it started with.
    bus.setFastCompletion(fast);
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(FastKey, fast);
    file.sync();
    if (file.status() != QSettings::NoError)
        m_form.ShowError(QStringLiteral("Не удалось сохранить параметры обмена в файл %1").arg(m_path));
}
