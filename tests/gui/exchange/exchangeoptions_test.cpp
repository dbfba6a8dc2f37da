// "Сервис" > "Параметры обмена": fast reply completion chosen in the window, kept in a file of its
// own beside Sens.cfg, and used by the window's engine.
#include "app/exchangeoptions.h"
#include "mainwindowfixture.h"
#include "ui/exchangeoptionsdialog.h"

#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

namespace {

class ExchangeOptionsTest : public MainWindowTest {
  protected:
    ExchangeOptions* install(bool fastFromCommandLine = false) {
        createWindow();
        ExchangeOptions* options = ExchangeOptions::install(*form, fastFromCommandLine);
        // The operator ticks (or clears) the box and presses the given button.
        options->runModal = [this](QDialog& d) {
            auto& dialog = static_cast<ExchangeOptionsDialog&>(d);
            shownChecked = dialog.CheckFastCompletion->isChecked();
            shownRetries = dialog.SpinRetries->value();
            dialog.CheckFastCompletion->setChecked(tick);
            if (retries >= 0) dialog.SpinRetries->setValue(retries);
            (ok ? dialog.Button1 : dialog.Button2)->click();
            return dialog.result();
        };
        return options;
    }

    bool tick = true;
    bool ok = true;
    bool shownChecked = false;
    int retries = -1; // -1: left as shown
    int shownRetries = -1;
};

TEST_F(ExchangeOptionsTest, TheChoiceIsKeptInAFileOfItsOwnAndSensCfgIsLeftAsItWas) {
    writeSensCfg(sensCfg());
    ExchangeOptions* options = install();
    EXPECT_TRUE(form->MenuService->isVisible());
    QAction* item = form->findChild<QAction*>(QStringLiteral("MenuExchangeOptions"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(), "Параметры обмена");
    EXPECT_FALSE(form->ModBus->fastCompletion());

    ok = false; // "Cancel" changes nothing and writes nothing
    options->MenuExchangeOptionsClick();
    EXPECT_FALSE(form->ModBus->fastCompletion());
    EXPECT_FALSE(QFile::exists(QLatin1String(ExchangeOptions::FileName)));

    ok = true;
    item->trigger();
    QTRY_VERIFY(form->ModBus->fastCompletion());
    EXPECT_FALSE(shownChecked);
    EXPECT_TRUE(
        QSettings(options->filePath(), QSettings::IniFormat).value("Exchange/FastCompletion").toBool());
    form.reset();
    EXPECT_EQ(readSensCfg().split('\n').size(), 8);
    EXPECT_FALSE(readSensCfg().contains("Fast"));

    // The next run starts with it, and shows it.
    install()->MenuExchangeOptionsClick();
    EXPECT_TRUE(shownChecked);
}

TEST_F(ExchangeOptionsTest, TheCommandLineSwitchesItOnForTheRunOnly) {
    writeSensCfg(sensCfg());
    ExchangeOptions* options = install(true);
    EXPECT_TRUE(form->ModBus->fastCompletion());
    tick = true;
    options->MenuExchangeOptionsClick(); // unchanged: nothing to save
    EXPECT_TRUE(shownChecked);
    EXPECT_TRUE(fileBytes(QLatin1String(ExchangeOptions::FileName)).isEmpty());
}

TEST_F(ExchangeOptionsTest, RetriesAreKeptBesideFastCompletionAndReachTheEngine) {
    writeSensCfg(sensCfg());
    tick = false;
    retries = 2;
    ExchangeOptions* options = install();
    EXPECT_EQ(form->ModBus->retries(), 0);
    options->MenuExchangeOptionsClick();
    EXPECT_EQ(shownRetries, 0);
    EXPECT_EQ(form->ModBus->retries(), 2);
    const QSettings file(options->filePath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("Exchange/Retries").toInt(), 2);
    EXPECT_FALSE(file.contains("Exchange/FastCompletion")) << "only what changed is saved";
    form.reset();
    EXPECT_EQ(readSensCfg().split('\n').size(), 8);

    retries = -1;
    install()->MenuExchangeOptionsClick();
    EXPECT_EQ(form->ModBus->retries(), 2);
    EXPECT_EQ(shownRetries, 2);
}

TEST_F(ExchangeOptionsTest, AFileThatCannotBeWrittenIsReported) {
    writeSensCfg(sensCfg());
    ASSERT_TRUE(QDir().mkdir(QLatin1String(ExchangeOptions::FileName)));
    install()->MenuExchangeOptionsClick();
    EXPECT_TRUE(form->ModBus->fastCompletion()); // for this run, all the same
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Не удалось сохранить параметры обмена")) << messages[0].toStdString();
}

} // namespace
