#pragma once
// The real main window, offscreen, in a temporary working directory, talking to an in-process
// simulator through a pseudo-terminal mapped to port 1. Message boxes are recorded; modal dialogs
// are answered by a scripted driver so a test never hangs.
#include "app/tform1.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "sim/simulator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Answers modal dialogs in order. Each step gets the active modal widget and returns true when it
// has dealt with it, false to wait. Steps must not block: they press buttons with click() queued
// (see press()), so a dialog that opens from that click reaches the next step. A modal no step
// takes is rejected in the end and counted as unexpected.
class ModalDriver {
  public:
    using Step = std::function<bool(QWidget*)>;

    ModalDriver() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }
    void then(Step step) { m_steps.push_back(std::move(step)); }
    bool done() const { return m_steps.empty(); }
    int unexpected() const { return m_unexpected; }

  private:
    void tick() {
        if (m_inStep) return;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            m_idleTicks = 0;
            return;
        }
        if (!m_steps.empty()) {
            m_inStep = true;
            const bool handled = m_steps.front()(modal);
            m_inStep = false;
            if (handled) {
                m_steps.pop_front();
                m_idleTicks = 0;
                return;
            }
        }
        // Steps may wait for a dialog's own exchange; a modal nobody takes is closed in the end.
        if (++m_idleTicks < 400) return;
        m_idleTicks = 0;
        ++m_unexpected;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    int m_unexpected = 0;
    int m_idleTicks = 0;
    bool m_inStep = false;
};

// Clicks a button from the event loop, after the current step has returned.
inline void press(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

// A step for a dialog of type D: runs the action when the modal is one (and `ready` agrees), and
// reports it handled.
template <class D> ModalDriver::Step on(std::function<void(D*)> action, std::function<bool(D*)> ready = {}) {
    return [action, ready](QWidget* w) {
        auto* d = qobject_cast<D*>(w);
        if (!d || (ready && !ready(d))) return false;
        action(d);
        return true;
    };
}

class MainWindowTest : public ::testing::Test {
  protected:
    static constexpr int SilenceMs = 50;

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
    static sim::DeviceOptions device(int address, int channelMode = 0) {
        sim::DeviceOptions d;
        d.address = address;
        d.channelMode = channelMode;
        return d;
    }

    void writeSensCfg(const QByteArray& bytes) {
        QFile f(QStringLiteral("Sens.cfg"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray readSensCfg() {
        QFile f(QStringLiteral("Sens.cfg"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
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

    // Device selected without the menu (DeviceAddress and the parameter menu), for navigation tests.
    void pretendSelected(int address) {
        form->DeviceAddress = address;
        TForm1::setMenuEnabled(form->MenuTypeParam, true);
        form->LinkIdle = true;
    }

    // Requests received by the simulator, without their CRC (the engine's frames are tested elsewhere).
    QStringList requestPdus() const {
        QStringList out;
        for (const QByteArray& frame : sim->requests())
            out.append(QString::fromLatin1(frame.left(frame.size() - 2).toHex(' ')));
        return out;
    }

    QTemporaryDir m_dir;
    QString m_oldDir;
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<TForm1> form;
    QStringList messages;
};
