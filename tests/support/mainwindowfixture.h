#pragma once
// The real main window, offscreen, in a temporary working directory, talking to an in-process
// simulator through a pseudo-terminal mapped to port 1. Message boxes are recorded; modal dialogs
// are answered by a scripted driver so a test never hangs.
#include "app/tform1.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "modaldriver.h"
#include "requesttext.h"
#include "sim/simulator.h"
#include "ui/tform10.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class MainWindowTest : public ::testing::Test {
  protected:
    static constexpr int SilenceMs = 50;
    static constexpr quint32 DeviceStart = 1709647629; // 05.03.2024 14:07:09
    inline static const QString LinkFailure = QStringLiteral("          Ошибка связи");

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_oldDir = QDir::currentPath();
        QApplication::setQuitOnLastWindowClosed(false);
        QDir::setCurrent(m_dir.path());
        TForm1::messageHook() = [this](const QString& caption, const QString& text) {
            messages.append(caption + u'|' + text);
        };
    }

    void TearDown() override {
        // A test's own hook may hold its locals, which are gone by now; the window may still have
        // something to say while it shuts down.
        TForm1::messageHook() = [this](const QString& caption, const QString& text) {
            messages.append(caption + u'|' + text);
        };
        form.reset();
        sim.reset();
        TForm1::messageHook() = {};
        PortMap::clear();
        QDir::setCurrent(m_oldDir);
    }

    // Devices by address; every test switches pacing and the device clock off.
    void startSimulator(QList<sim::DeviceOptions> devices, std::function<void(sim::SimOptions&)> tune = {}) {
        sim::SimOptions options;
        options.devices = devices;
        options.pacing = false;
        options.clockRuns = false;
        options.modemDialDelayMs = 20;
        if (tune) tune(options);
        sim = std::make_unique<sim::Simulator>(options);
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        PortMap::set(1, sim->portPath());
    }
    // For startSimulator: the meters' clocks stand at DeviceStart.
    static void atDeviceStart(sim::SimOptions& options) { options.startTime = DeviceStart; }
    static sim::DeviceOptions device(int address, int channelMode = 0) {
        sim::DeviceOptions d;
        d.address = address;
        d.channelMode = channelMode;
        return d;
    }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        f.write(bytes);
    }
    // Empty when the file cannot be read.
    static QByteArray fileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeSensCfg(const QByteArray& bytes) { writeFile(QStringLiteral("Sens.cfg"), bytes); }
    static QByteArray readSensCfg() { return fileBytes(QStringLiteral("Sens.cfg")); }
    static QByteArray sensCfg(const char* line1 = "1 9600,n,8,1", const char* useModem = "False") {
        return QByteArray(line1) + "\r\n10000\r\nFalse\r\n" + useModem + "\r\nATZ\r\nATD\r\n123\r\n5";
    }

    // The window as the program creates it, with the engine's silence shortened.
    void createWindow() {
        form = std::make_unique<TForm1>();
        form->createDialogs();
        form->ModBus->setModbusSilenceMs(SilenceMs);
        form->Timer2->setInterval(20);
        form->show();
        QApplication::setActiveWindow(form.get());
    }

    // The usual start: Sens.cfg for port 1 without the modem, one meter at address 1, the window.
    void startWithOneMeter() {
        writeSensCfg(sensCfg());
        startSimulator({device(1)});
        createWindow();
    }

    // A view's usual start: Sens.cfg for port 1, the meters (one at address 1 unless given) with
    // their clocks at DeviceStart, the window, and meter 1 chosen.
    void startWithMeterChosen(QList<sim::DeviceOptions> devices = {device(1)}) {
        writeSensCfg(sensCfg());
        startSimulator(devices, atDeviceStart);
        createWindow();
        pretendSelected(1);
    }

    // Chooses an archive or journal in the menu, as the poll's tick does, and reads it whole: the
    // range dialog is answered with "Полный архив" and Ok.
    void readWhole(QAction* item) {
        ModalDriver range;
        range.then(on<TForm10>([](TForm10* d) {
            d->RadioButtonFull->click();
            press(d->ButtonOkRangeArchive);
        }));
        form->LinkIdle = false;
        form->MenuTypeParamClick(item);
        ASSERT_TRUE(range.done());
    }

    // Device selected without the menu (DeviceAddress and the parameter menu), for navigation tests.
    void pretendSelected(int address) {
        form->DeviceAddress = address;
        TForm1::setMenuEnabled(form->MenuTypeParam, true);
        form->LinkIdle = true;
    }

    // Requests received by the simulator as short texts (requesttext.h).
    QStringList sent() const { return requestTexts(sim->requests()); }
    // Requests received by the simulator, without their CRC (the engine's frames are tested elsewhere).
    QStringList requestPdus() const {
        QStringList out;
        for (const QByteArray& frame : sim->requests())
            out.append(QString::fromLatin1(frame.left(frame.size() - 2).toHex(' ')));
        return out;
    }

    // Neither disabled nor holding the guard: the operator can go on.
    bool windowUsable() const { return form->isEnabled() && form->LinkIdle; }

    // Committed with Enter as if pasted: the key filter is not what guards the device.
    static void commit(QLineEdit* edit, const QString& typed) {
        ASSERT_NE(edit, nullptr);
        edit->setText(typed);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
    }

    QTemporaryDir m_dir;
    QString m_oldDir;
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<TForm1> form;
    QStringList messages;
};
