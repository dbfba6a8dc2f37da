#include "app/exchange.h"

#include "link/eventwait.h"
#include "link/tmodbus.h"
#include "ui/statusbar.h"
#include "ui/tag.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <algorithm>

const QString Exchange::LinkFailureText = QStringLiteral("          Ошибка связи");

Exchange::Exchange(TModBus& engine, const int& deviceAddress, StatusBar& linkStatus, QProgressBar& progress,
                   QTimer& pauseTimer)
    : m_engine(engine), m_address(deviceAddress), m_linkStatus(linkStatus), m_progress(progress),
      m_pauseTimer(pauseTimer) {
    m_pauseTimer.setInterval(500);
    // The device needs the whole 500 ms between the writes of a command sequence; a coarse timer
    // may fire up to 5 % early.
    m_pauseTimer.setTimerType(Qt::PreciseTimer);
    tag::set(&m_pauseTimer, 0);
    QObject::connect(&m_pauseTimer, &QTimer::timeout, &m_pauseTimer, [timer = &m_pauseTimer] {
        timer->stop();
        tag::set(timer, 0);
    });
}

std::optional<RegisterBlock> Exchange::readHolding(int first, int count) {
    std::optional<RegisterBlock> block = readHoldingSilently(first, count);
    report(block.has_value());
    return block;
}

std::optional<RegisterBlock> Exchange::readHoldingSilently(int first, int count) {
    return RegisterBlock::read(m_engine, m_address, first, count);
}

std::optional<bool> Exchange::readCoil(int coil) {
    m_engine.ReadCoils(std::uint8_t(m_address), std::uint16_t(coil), 1);
    const std::optional<bool> state = m_engine.replyOk() ? m_engine.replyFrame().bit(0) : std::nullopt;
    if (!report(state.has_value())) return std::nullopt;
    return *state;
}

std::optional<QByteArray> Exchange::readArchive(const archives::Request& request) {
    archives::send(m_engine, std::uint8_t(m_address), request);
    if (!report(m_engine.replyOk())) return std::nullopt;
    return m_engine.reply();
}

bool Exchange::writeRegister(int reg, std::uint16_t value) {
    m_engine.WriteRegister(std::uint8_t(m_address), std::uint16_t(reg), value);
    return m_engine.replyOk();
}

bool Exchange::writeRegisters(int first, int count, const QByteArray& data) {
    m_engine.WriteRegisters(std::uint8_t(m_address), std::uint8_t(count), std::uint16_t(first), data);
    return m_engine.replyOk();
}

bool Exchange::write(const RegisterWrite& write) {
    if (write.count == 1) return writeRegister(write.reg, write.value());
    return writeRegisters(write.reg, write.count, write.data);
}

void Exchange::run(const QList<CommandStep>& steps) {
    for (const CommandStep& step : steps) {
        writeRegister(step.reg, step.value);
        if (step.pauseAfter) pause();
    }
}

bool Exchange::setCoil(int coil) {
    return setCoilAt(m_address, coil);
}

bool Exchange::setCoilAt(int address, int coil) {
    m_engine.SetCoil(std::uint8_t(address), std::uint16_t(coil));
    return m_engine.replyOk();
}

bool Exchange::clearCoil(int coil) {
    m_engine.ClearCoil(std::uint8_t(m_address), std::uint16_t(coil));
    return m_engine.replyOk();
}

bool Exchange::report(bool ok) {
    if (ok)
        clearLinkFailure();
    else
        showLinkFailure();
    return ok;
}

void Exchange::showLinkFailure() {
    m_linkStatus.setText(0, LinkFailureText);
    m_linkStatus.setBevel(0, StatusBar::Bevel::Raised);
}

void Exchange::clearLinkFailure() {
    m_linkStatus.setText(0, QString());
    m_linkStatus.setBevel(0, StatusBar::Bevel::Lowered);
}

void Exchange::pause() {
    tag::set(&m_pauseTimer, 1);
    m_pauseTimer.start();
    // The timer may be destroyed with the window while we wait (the program is being torn down).
    QPointer<QTimer> timer(&m_pauseTimer);
    eventwait::waitUntil([&timer] { return !timer || tag::of(timer) != 1; });
}

bool Exchange::pausing() const {
    return tag::of(&m_pauseTimer) == 1;
}

void Exchange::armProgress() {
    tag::set(&m_progress, 1);
}

void Exchange::resetProgress() {
    m_progress.setValue(0);
    tag::set(&m_progress, 0);
}

bool Exchange::progressArmed() const {
    return tag::of(&m_progress) == 1;
}

void Exchange::advanceProgress(int bytes) {
    if (!progressArmed()) return;
    // A position past the end is held at the end, as the operator expects of a full bar.
    m_progress.setValue(std::min(m_progress.maximum(), m_progress.value() + bytes));
}

void Exchange::showProgress(int done, int total) {
    m_progress.setValue(total > 0 ? m_progress.maximum() * done / total : 0);
}

DisabledWindow::DisabledWindow(QWidget* window, QWidget* readable) : m_window(window) {
    // Already disabled by an exchange around this one: enabling it at this one's end would let clicks
    // in while the outer exchange goes on.
    if (m_window && !m_window->isEnabled()) m_window = nullptr;
    if (!m_window) return;
    // The busy (app-start) shape rather than the hourglass: a "Стоп" beside the window stays usable.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_keepsReadable = readable && m_window->isAncestorOf(readable);
    if (!m_keepsReadable) {
        m_window->setEnabled(false);
        return;
    }
    // A disabled widget disables everything inside it, so the window and the widgets leading to
    // the readable one stay enabled and all beside them are disabled instead. Widgets already
    // disabled are left alone, so that ending does not enable them.
    for (QWidget* kept = readable; kept != m_window; kept = kept->parentWidget()) {
        for (QObject* child : kept->parentWidget()->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (!widget || widget == kept || widget->isWindow() || !widget->isEnabled()) continue;
            widget->setEnabled(false);
            m_disabled.append(widget);
        }
    }
}

DisabledWindow::~DisabledWindow() {
    if (!m_window) return;
    QApplication::restoreOverrideCursor();
    if (m_keepsReadable) {
        for (const QPointer<QWidget>& widget : std::as_const(m_disabled))
            if (widget) widget->setEnabled(true);
    } else {
        m_window->setEnabled(true);
    }
    m_window->activateWindow();
    m_window->setFocus();
}

NormalCursor::NormalCursor() {
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++m_lifted;
    }
}

NormalCursor::~NormalCursor() {
    // Every cursor lifted was a disabled window's, and those are all the busy one.
    for (int i = 0; i < m_lifted; ++i)
        QApplication::setOverrideCursor(Qt::BusyCursor);
}

int execModal(QDialog& dialog) {
    const NormalCursor normal;
    return dialog.exec();
}
