// "Сохранить параметры" and "Загрузить параметры" in the real window against the simulator: a save,
// a change and a load back; files the load refuses; a save whose reads fail; a load with a silent
// block.
#include "mainwindowfixture.h"

#include "app/paramfiles.h"
#include "app/systemparams.h"
#include "ui/statusbar.h"
#include "ui/tform15.h"
#include "ui/tform16.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <sys/stat.h>

namespace {

class ParamFilesWindow : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen();
        SystemParams::install(*form);
        files = ParamFiles::install(*form);
        files->pause = [this](int ms) { pauses << ms; };
        form->StatusBar2->setText(0, "KASTARI-DK   v3.12 адрес:   1");
        form->MenuTypeParamClick(form->SystemParam); // the electronic number
        number = form->findChild<QLineEdit*>("EditElNumber")->text();
        ASSERT_FALSE(number.isEmpty());
        sim->clearLog();
    }

    // Runs a menu command whose file dialog is answered with `path`; `outcome` gets the name of the
    // text the finishing window shows.
    void run(void (ParamFiles::*command)(), QDialog* finished, const QString& path,
             QString* outcome = nullptr, QString* suggested = nullptr) {
        ModalDriver driver;
        driver.then(chooseFile(path, suggested));
        // The save dialog asks before it lets a file be replaced.
        if (finished == form->Form15 && QFile::exists(path))
            driver.then(on<QMessageBox>([](QMessageBox* box) { press(box->button(QMessageBox::Yes)); }));
        driver.then(finish(finished, outcome));
        form->LinkIdle = false;
        (files->*command)();
        EXPECT_TRUE(driver.done());
        EXPECT_TRUE(form->LinkIdle);
        EXPECT_TRUE(form->isEnabled());
    }
    ModalDriver::Step finish(QDialog* window, QString* outcome) {
        return [=](QWidget* w) {
            if (w != window) return false;
            for (const char* name : {"StaticText2", "StaticText3", "StaticTextFailed"}) {
                auto* label = window->findChild<QLabel*>(name);
                if (outcome && label && label->isVisible())
                    *outcome = label->objectName() + ": " + label->text();
            }
            press(window->findChild<QPushButton*>("Button1"));
            return true;
        };
    }
    QString loadFile(const QString& path) {
        QString outcome;
        ModalDriver driver;
        driver.then(finish(files->Form16(), &outcome));
        files->load(path);
        return outcome;
    }
    QString folder() const { return QDir::current().filePath(number); }

    ParamFiles* files = nullptr;
    QList<int> pauses;
    QString number;
};

TEST_F(ParamFilesWindow, SaveChangeAndLoadBackRestoresEveryWrittenRegister) {
    QString suggested, outcome;
    const QString report = folder() + "/Param.txt";
    run(&ParamFiles::MenuSaveParamClick, form->Form15, report, &outcome, &suggested);
    EXPECT_EQ(suggested, report);
    EXPECT_EQ(outcome, "StaticText2: Запись завершена");
    // The number that names the folder is asked of the meter first.
    EXPECT_EQ(requestPdus(), (QStringList{"01 03 00 08 00 02", "01 03 00 00 00 7d", "01 03 00 7d 00 4d",
                                          "01 03 00 ca 00 6b"}));
    const QStringList lines =
        QStringDecoder("windows-1251")(fileBytes(report)).operator QString().split("\r\n");
    ASSERT_EQ(lines.size(), 312 + 1);
    EXPECT_EQ(lines[0], "Расходомер-счетчик КАСТАРИ ДК, версия KASTARI-DK   v3.12");
    EXPECT_EQ(lines[3 + 3], "Электронный номер прибора#" + number);
    const QByteArray snapshot = fileBytes(folder() + "/Param.bin");
    ASSERT_EQ(snapshot.size(), 655);
    for (int reg : {2, 17, 36, 88, 171, 210, 308})
        EXPECT_EQ(quint8(snapshot[2 * reg + 4]) << 8 | quint8(snapshot[2 * reg + 5]), sim->holding(1, reg))
            << reg;

    QList<quint16> before;
    for (int reg = 0; reg < 309; ++reg)
        before << sim->holding(1, reg);
    sim->setHolding(1, 2, 7);            // a gain
    sim->setHoldingFloat(1, 143, 99.5f); // channel 2's low threshold
    sim->setHolding(1, 171, 33);         // the last register of the last block
    sim->setHolding(1, 114, 1);          // the additional gain: a load leaves it alone
    sim->clearLog();

    run(&ParamFiles::MenuLoadParamClick, files->Form16(), folder() + "/Param.bin", &outcome, &suggested);
    EXPECT_EQ(suggested, folder() + "/Param.bin");
    EXPECT_EQ(outcome, "StaticText2: Загрузка завершена");
    QStringList heads;
    for (const QString& pdu : requestPdus())
        heads << pdu.left(17);
    EXPECT_EQ(heads,
              (QStringList{"01 03 00 08 00 02", "01 10 00 02 00 06", "01 10 00 0f 00 0c", "01 10 00 1f 00 1d",
                           "01 10 00 3c 00 1d", "01 10 00 77 00 1a", "01 10 00 91 00 1b"}));
    for (int reg = 0; reg < 309; ++reg)
        if (reg != 114) {
            ASSERT_EQ(sim->holding(1, reg), before[reg]) << reg;
        }
    EXPECT_EQ(sim->holding(1, 114), 1);
}

TEST_F(ParamFilesWindow, FilesThatAreNotThisMetersSnapshotAreRefusedAndNothingIsSent) {
    QString outcome;
    run(&ParamFiles::MenuSaveParamClick, form->Form15, folder() + "/Param.txt", &outcome);
    const QByteArray good = fileBytes(folder() + "/Param.bin");
    QByteArray foreign = good;
    foreign[3] = char(foreign[3] ^ 1);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"foreign.bin", foreign},
                 {"short.bin", good.chopped(1)},
                 {"empty.bin", {}},
                 {"noted.bin", good + "\r\nnote"}};
    for (const auto& c : cases)
        writeFile(c.name, c.bytes);
    QDir().mkdir("folder.bin");
    ASSERT_EQ(mkfifo("fifo.bin", 0600), 0); // nobody writes into it: refused, never waited for
    sim->clearLog();
    const QStringList names{"foreign.bin", "short.bin",   "empty.bin", "noted.bin",
                            "folder.bin",  "missing.bin", "fifo.bin"};
    // Another meter's snapshot names both meters; a file that is no snapshot has no number to name.
    const QString refused = "StaticText3: Некорректные данные";
    EXPECT_EQ(loadFile("foreign.bin"),
              refused +
                  QStringLiteral("\nФайл прибора %1, выбран прибор %2").arg(number.toUInt() ^ 1).arg(number));
    for (const QString& name : names.mid(1))
        EXPECT_EQ(loadFile(name), refused) << name.toStdString();
    // Only the meter's number was asked each time.
    EXPECT_EQ(requestPdus(), QStringList(names.size(), "01 03 00 08 00 02"));
    EXPECT_TRUE(pauses.isEmpty());
}

TEST_F(ParamFilesWindow, ASaveWhoseSecondReadFailsWritesNothingAndKeepsTheOldFiles) {
    QDir().mkdir(number);
    for (const char* name : {"Param.txt", "Param.bin"})
        writeFile(folder() + "/" + name, "earlier");
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 3)); // the number, the first block, then silence
    QString outcome;
    run(&ParamFiles::MenuSaveParamClick, form->Form15, folder() + "/Param.txt", &outcome);
    EXPECT_EQ(requestPdus().size(), 3);
    EXPECT_EQ(outcome, "StaticText3: Ошибка связи. Файлы не записаны");
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_EQ(fileBytes(folder() + "/Param.txt"), "earlier");
    EXPECT_EQ(fileBytes(folder() + "/Param.bin"), "earlier");
}

TEST_F(ParamFilesWindow, ALoadWithASilentBlockSendsTheRestAndNamesWhatFailed) {
    QString outcome;
    run(&ParamFiles::MenuSaveParamClick, form->Form15, folder() + "/Param.txt", &outcome);
    sim->clearLog();
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 4)); // the number, two blocks, then silence
    EXPECT_EQ(loadFile(folder() + "/Param.bin"),
              "StaticTextFailed: Загрузка не завершена, ошибка связи.\nНе записаны регистры 31–59");
    EXPECT_EQ(requestPdus().size(), 1 + 6);
    EXPECT_EQ(pauses.size(), 5);
}

} // namespace
