// Dialling the remote modem before a scan: each result word's message, texts too long to send,
// and a modem that never answers.
#include "mainwindowfixture.h"

#include "ui/tform20.h"

#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

class Modem : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        writeSensCfg(sensCfg("1 9600,n,8,1", "True"));
    }
    void startModem(const QString& dialResult, const QString& initResult = QStringLiteral("OK")) {
        startSimulator({device(1)}, [&](sim::SimOptions& o) {
            o.modem = true;
            o.modemDialResult = dialResult;
            o.modemInitResult = initResult;
        });
    }
    void configure() {
        form->ModemInitString = QStringLiteral("ATZ");
        form->DialPrefix = QStringLiteral("ATDT");
        form->PhoneNumber = QStringLiteral("5551234");
        form->ModemDelay = 30;
    }
    // Runs ConnectModem and returns its result; the TForm20 text shown, if any, goes to *message.
    bool dial(QString* message) {
        ModalDriver driver;
        driver.then(on<TForm20>([message](TForm20* d) {
            *message = d->LabelMsg->text();
            press(d->Button1);
        }));
        const bool connected = form->ConnectModem();
        EXPECT_EQ(driver.unexpected(), 0);
        return connected;
    }
};

} // namespace

TEST_F(Modem, EachResultWordGivesItsMessage) {
    struct Case {
        const char* init;
        const char* dial;
        bool connected;
        const char* message;
    };
    const Case cases[] = {
        {"OK", "CONNECT 9600", true, ""},
        {"OK", "BUSY", false, "Линия занята!"},
        {"OK", "NO ANSWER", false, "Удаленный модем не отвечает!"},
        {"OK", "NO CARRIER", false, "Удаленный модем не отвечает!"},
        {"OK", "NO DIALTONE", false, "Нет сигнала в линии!"},
        {"OK", "ERROR", false, "Неправильная команда!"},
        {"ERROR", "CONNECT 9600", false, "Неправильная команда!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.init) + " / " + c.dial);
        form.reset();
        sim.reset();
        startModem(QString::fromLatin1(c.dial), QString::fromLatin1(c.init));
        createWindow();
        configure();
        QString message;
        EXPECT_EQ(dial(&message), c.connected);
        EXPECT_EQ(message, QString::fromUtf8(c.message));

        // The memo holds each command and what the modem said after its echo.
        const QStringList memo = form->Memo1->toPlainText().split(u'\n');
        ASSERT_GE(memo.size(), 2);
        EXPECT_EQ(memo[0], QStringLiteral("ATZ"));
        EXPECT_TRUE(memo[1].startsWith(QString::fromLatin1(c.init))) << memo.join('|').toStdString();
        const bool dialled = QByteArray(c.init) == "OK";
        EXPECT_EQ(form->Memo1->toPlainText().contains(QStringLiteral("ATDT5551234")), dialled);
        if (dialled) {
            EXPECT_TRUE(form->Memo1->toPlainText().contains(QString::fromLatin1(c.dial)));
        }
        const QList<QByteArray> lines = sim->requests();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines[0].startsWith("ATZ")) << lines[0].toStdString();
    }
}

TEST_F(Modem, TextsLongerThanTheCommandLineAreNotSent) {
    startModem(QStringLiteral("CONNECT 9600"));
    createWindow();
    configure();
    form->ModemInitString = QString(101, u'A');
    QString message;
    EXPECT_FALSE(dial(&message));
    EXPECT_TRUE(message.contains(QStringLiteral("100"))) << message.toStdString();
    EXPECT_TRUE(sim->requests().isEmpty());

    sim->clearLog();
    form->ModemInitString = QStringLiteral("ATZ");
    form->PhoneNumber = QString(97, u'5'); // 4 + 97 characters
    message.clear();
    EXPECT_FALSE(dial(&message));
    EXPECT_TRUE(message.contains(QStringLiteral("100"))) << message.toStdString();
    ASSERT_EQ(sim->requests().size(), 1); // the initialisation only
}

TEST_F(Modem, SilentModemStopsTheScanBeforeItStarts) {
    startSimulator({device(1)}); // no modem: the meter ignores the command text
    createWindow();
    configure();
    ASSERT_TRUE(form->UseModem);
    QString message;
    ModalDriver driver;
    driver.then(on<TForm20>([&](TForm20* d) {
        message = d->LabelMsg->text();
        press(d->Button1);
    }));
    form->MenuConnectClick();
    EXPECT_EQ(message, QStringLiteral("Нет ответа от модема!"));
    ASSERT_EQ(sim->requests().size(), 1); // the initialisation; no identification request followed
    EXPECT_TRUE(form->Memo1->isVisibleTo(form.get()));
    EXPECT_TRUE(form->MenuLink->isEnabled());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(form->LinkIdle);
}

TEST_F(Modem, DialogueStaysReadableWhileTheWindowRefusesInput) {
    startModem(QStringLiteral("BUSY"));
    createWindow();
    configure();
    struct State {
        bool memo = false, menuBar = true, progress = true;
    };
    auto now = [this] {
        return State{form->Memo1->isEnabled(), form->menuBar()->isEnabled(), form->ProgressBar1->isEnabled()};
    };
    State initialising, dialFailed;
    QTimer::singleShot(0, form.get(), [&] { initialising = now(); });
    ModalDriver driver;
    driver.then(on<TForm20>([&](TForm20* d) {
        dialFailed = now();
        press(d->Button1);
    }));
    form->MenuConnectClick();
    for (const State& s : {initialising, dialFailed}) {
        EXPECT_TRUE(s.memo);
        EXPECT_FALSE(s.menuBar);
        EXPECT_FALSE(s.progress);
    }
    const State after = now();
    EXPECT_TRUE(after.memo && after.menuBar && after.progress);
    EXPECT_EQ(driver.unexpected(), 0);
}
