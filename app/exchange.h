#pragma once
// The one path by which readers and editors talk to the selected device: requests addressed to
// DeviceAddress, the link-failure indication, the pause after writes and the progress bar.
#include "archives/reading.h"
#include "device/registerblock.h"
#include "device/registerwrite.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <optional>

class QProgressBar;
class QTimer;
class QWidget;
class StatusBar;
class TModBus;

// Exchanges with the device at the window's current address. Owns nothing: it refers to the
// engine, panel 0 of the bottom status bar, the progress bar and the pause timer of the window.
class Exchange {
  public:
    static const QString LinkFailureText; // "          Ошибка связи"

    Exchange(TModBus& engine, const int& deviceAddress, StatusBar& linkStatus, QProgressBar& progress,
             QTimer& pauseTimer);

    TModBus& engine() const { return m_engine; }
    int address() const { return m_address; }

    // Function 3. A reply that is missing, corrupt, an exception or does not fit the request is a
    // link failure (shown); a usable one clears the indication.
    std::optional<RegisterBlock> readHolding(int first, int count);
    // The same read for a caller that tells the operator nothing of its failure: the indication is
    // left as it stands either way.
    std::optional<RegisterBlock> readHoldingSilently(int first, int count);
    // Function 1 for one coil: whether it is on. A failed read is a link failure (shown).
    std::optional<bool> readCoil(int coil);

    // Function 65, judged and shown like a read: the reply frame when it is usable.
    std::optional<QByteArray> readArchive(const archives::Request& request);

    // Writes report whether the device confirmed them; they leave the status bar alone, because
    // their callers judge the result by the read that follows.
    bool writeRegister(int reg, std::uint16_t value);
    bool writeRegisters(int first, int count, const QByteArray& data);
    // Function 6 for a write of one register, 16 for more.
    bool write(const RegisterWrite& write);
    // A command sequence: each write, then the pause where the step asks for it. The answers are
    // not judged: the operator learns the outcome from the next reading.
    void run(const QList<CommandStep>& steps);
    bool setCoil(int coil);
    bool clearCoil(int coil);
    // For a meter other than the chosen one: putting back what an action began on it.
    bool setCoilAt(int address, int coil);

    // Applies the link-failure convention to any other exchange; returns ok.
    bool report(bool ok);
    void showLinkFailure();
    void clearLinkFailure();

    // The pause that follows device writes: events keep flowing while the pause timer runs. It ends
    // when the timer ticks, so the window learns of the end from the tick.
    void pause();
    bool pausing() const;

    // A reader marks the progress bar busy before its requests; received chunks advance it.
    void armProgress();
    void resetProgress();
    bool progressArmed() const;
    void advanceProgress(int bytes);
    // A job that counts its own steps (a snapshot's blocks) shows how far it has come.
    void showProgress(int done, int total);

  private:
    TModBus& m_engine;
    const int& m_address;
    StatusBar& m_linkStatus;
    QProgressBar& m_progress;
    QTimer& m_pauseTimer;
};

// Keeps the main window disabled while an exchange runs (the engine pumps events meanwhile, so
// clicks and keys must not reach it); on exit the window is enabled again and takes the focus.
// Meanwhile the pointer shows the busy cursor: without it a click into the disabled window is lost
// without a sign.
class DisabledWindow {
  public:
    // A `readable` widget inside the window (a dialogue the operator follows while the exchange
    // runs) stays enabled, so it can be read and scrolled; everything else refuses input.
    explicit DisabledWindow(QWidget* window, QWidget* readable = nullptr);
    ~DisabledWindow();
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

  private:
    QWidget* m_window;
    bool m_keepsReadable = false;
    QList<QPointer<QWidget>> m_disabled;
};

// While it lives the pointer is the normal one, also inside a disabled window's exchange: for a
// dialog that asks the operator something (a range, a notice to acknowledge) meanwhile.
class NormalCursor {
  public:
    NormalCursor();
    ~NormalCursor();
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

  private:
    int m_lifted = 0;
};

class QDialog;
// Runs a modal dialog with the normal pointer.
int execModal(QDialog& dialog);
