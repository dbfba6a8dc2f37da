// kastari-web as a process on 127.0.0.1: what it refuses to start with, and raw requests an
// attacker would send, over HTTP and HTTPS. The server must answer or close, never fall over.
#include "store/store.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray Password = "correct horse battery";

class WebServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = dir.filePath("k.db");
        QString error;
        std::unique_ptr<store::Store> s = store::Store::open({.path = db}, &error);
        ASSERT_TRUE(s) << error.toStdString();
        ASSERT_TRUE(s->storeVisit({.number = 4242,
                                   .line = "/dev/ttyS0",
                                   .name = "Секретный узел",
                                   .address = 1,
                                   .periods = {{.archive = 1, .channel = 1, .start = 1000000, .plus = 5}}},
                                  &error));
        users = dir.filePath("users");
        QProcess add;
        add.start(QStringLiteral(KASTARI_WEB), {"adduser", "anna", "--users", users});
        add.write(Password + '\n' + Password + '\n');
        add.closeWriteChannel();
        ASSERT_TRUE(add.waitForFinished(60000));
        ASSERT_EQ(add.exitCode(), 0) << add.readAllStandardError().toStdString();
    }
    void TearDown() override {
        if (web.state() == QProcess::NotRunning) return;
        web.terminate();
        if (!web.waitForFinished(5000)) web.kill();
    }
    // Starts the server on a free port; its port.
    int start(const QStringList& extra = {}) {
        web.start(QStringLiteral(KASTARI_WEB),
                  QStringList{"--db", db, "--listen", "127.0.0.1:0", "--users", users} + extra);
        EXPECT_TRUE(web.waitForStarted(5000));
        while (web.waitForReadyRead(10000))
            if (const auto m =
                    QRegularExpression(":(\\d+)\\n").match(QString::fromUtf8(web.readAllStandardOutput()));
                m.hasMatch())
                return m.captured(1).toInt();
        ADD_FAILURE() << web.readAllStandardError().toStdString();
        return 0;
    }
    // Sends the bytes and returns all the server answers before it closes or goes quiet.
    static QByteArray exchange(QTcpSocket& socket, int port, const QByteArray& bytes) {
        socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
        if (!socket.waitForConnected(5000)) return "no connection";
        if (auto* tls = qobject_cast<QSslSocket*>(&socket)) {
            tls->ignoreSslErrors();
            tls->startClientEncryption();
            if (!tls->waitForEncrypted(10000)) return "no TLS";
        }
        for (qsizetype sent = 0; sent < bytes.size() && socket.state() == QAbstractSocket::ConnectedState;
             sent += 65536) {
            socket.write(bytes.mid(sent, 65536));
            socket.waitForBytesWritten(5000);
        }
        // The first bytes may take their time; after them, a second of quiet ends the answer.
        QByteArray reply;
        while (socket.waitForReadyRead(reply.isEmpty() ? 5000 : 1000))
            reply += socket.readAll();
        return reply;
    }
    static QByteArray get(int port, const QByteArray& path, const QByteArray& headers = {}) {
        QTcpSocket socket;
        return exchange(socket, port,
                        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers +
                            "\r\n");
    }
    static int status(const QByteArray& reply) {
        return reply.startsWith("HTTP/1.1 ") ? reply.mid(9, 3).toInt() : 0;
    }
    QTemporaryDir dir;
    QString db, users;
    QProcess web;
};

TEST_F(WebServer, RefusesToStartWhereItShouldNot) {
    const struct {
        QStringList args;
        int code;
        const char* says;
    } rows[] = {
        {{"--db", "", "--listen", "0.0.0.0:0"}, 1, "needs --users"},
        {{"--listen", "192.0.2.1:8080"}, 1, "needs --users"},
        {{"--listen", "localhost"}, 1, "--listen takes"},
        {{"--db", "SELECT"}, 2, "does not exist"},
        {{"--users", "/nonexistent/users"}, 1, "/nonexistent/users"},
        {{"--tls-cert", "cert.pem"}, 1, "go together"},
        {{"--thresholds", "/nonexistent/limits"}, 1, "limits"},
        {{"serve"}, 1, "unexpected argument"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QStringList args = r.args;
        if (!args.contains("--db")) args << "--db" << db;
        if (args[1].isEmpty()) args[1] = db;
        p.start(QStringLiteral(KASTARI_WEB), args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), r.code);
        EXPECT_TRUE(p.readAllStandardError().contains(r.says));
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("SELECT"))) << "a missing database was made";
}

TEST_F(WebServer, HostileRequestsAreAnsweredOrClosedAndTheServerLivesOn) {
    const int port = start();
    ASSERT_GT(port, 0);
    const QByteArray forged = "Cookie: kastari_session=" + QByteArray(64, 'a') + "\r\n";
    const struct {
        QByteArray request;
        int status; // 0: any answer or none, as long as the server survives
    } rows[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 303},
        {"GET /api/meters HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + forged + "\r\n", 401},
        {"GET /api/meters/4242/periods?archive=day HTTP/1.1\r\nConnection: close\r\nCookie: "
         "kastari_session=\r\n\r\n",
         401},
        {"GET /meter/4242/export?archive=day&format=csv HTTP/1.1\r\nConnection: close\r\n" + forged + "\r\n",
         303},
        {"GET /../../etc/passwd HTTP/1.1\r\nConnection: close\r\n\r\n", 400},
        {"GET /meter/%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nConnection: close\r\n\r\n", 400},
        {"GET /login?next=%27%20OR%201%3D1 HTTP/1.1\r\nConnection: close\r\n\r\n", 200},
        {"GET /" + QByteArray(100000, 'a') + " HTTP/1.1\r\nConnection: close\r\n\r\n", 0},
        {"GET / HTTP/1.1\r\nX-Big: " + QByteArray(200000, 'b') + "\r\n\r\n", 0},
        {"POST /login HTTP/1.1\r\nConnection: close\r\nContent-Length: 999999999999\r\n\r\nuser=anna", 0},
        {"POST /login HTTP/1.1\r\nConnection: close\r\nContent-Length: -5\r\n\r\n", 0},
        {"POST /login HTTP/1.1\r\nConnection: close\r\nContent-Length: 2000000\r\n\r\n" +
             QByteArray(2000000, 'x'),
         0},
        {"BREW /pot HTTP/1.1\r\nConnection: close\r\n\r\n", 0},
        {"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + QByteArray(500, '\0'), 0},
        {"GET / HTTP/9.9\r\n\r\n", 0},
        {QByteArray("\r\n\r\n\r\n"), 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.request.left(80).toStdString());
        QTcpSocket socket;
        const QByteArray reply = exchange(socket, port, r.request);
        if (r.status) {
            EXPECT_EQ(status(reply), r.status) << reply.left(300).toStdString();
        }
        EXPECT_FALSE(reply.contains("Секретный")) << reply.left(300).toStdString();
        EXPECT_FALSE(reply.contains("4242")) << reply.left(300).toStdString();
        ASSERT_EQ(web.state(), QProcess::Running) << web.readAllStandardError().toStdString();
    }
    // Still serving: a login, and with it the data.
    QTcpSocket socket;
    const QByteArray body = "user=anna&password=" + QByteArray(Password).replace(' ', '+');
    const QByteArray login = exchange(socket, port,
                                      "POST /login HTTP/1.1\r\nConnection: close\r\nContent-Type: "
                                      "application/x-www-form-urlencoded\r\nContent-Length: " +
                                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
    ASSERT_EQ(status(login), 303) << login.toStdString();
    const QByteArray cookie = QRegularExpression("Set-Cookie: (kastari_session=[0-9a-f]+)")
                                  .match(QString::fromLatin1(login))
                                  .captured(1)
                                  .toLatin1();
    const QByteArray page = get(port, "/api/meters", "Cookie: " + cookie + "\r\n");
    EXPECT_EQ(status(page), 200);
    EXPECT_TRUE(page.contains("Content-Type: application/json"));
    EXPECT_TRUE(page.contains("\"number\":4242"));
}

TEST_F(WebServer, ServesHttpsWithASecureCookie) {
    if (QStandardPaths::findExecutable("openssl").isEmpty()) GTEST_SKIP() << "openssl missing";
    if (!QSslSocket::supportsSsl()) GTEST_SKIP() << "Qt has no TLS backend here";
    const QString cert = dir.filePath("cert.pem"), key = dir.filePath("key.pem");
    ASSERT_EQ(QProcess::execute("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                                            "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert}),
              0);
    const int port = start({"--tls-cert", cert, "--tls-key", key});
    ASSERT_GT(port, 0);
    const QByteArray body = "user=anna&password=" + QByteArray(Password).replace(' ', '+');
    QSslSocket socket;
    const QByteArray login = exchange(socket, port,
                                      "POST /login HTTP/1.1\r\nConnection: close\r\nContent-Length: " +
                                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
    ASSERT_EQ(status(login), 303) << login.toStdString();
    EXPECT_TRUE(login.contains("; HttpOnly; SameSite=Strict; Secure\r\n")) << login.toStdString();
    QTcpSocket plain; // HTTP to the HTTPS port gets nothing readable
    EXPECT_EQ(status(exchange(plain, port, "GET / HTTP/1.1\r\nConnection: close\r\n\r\n")), 0);
    EXPECT_EQ(web.state(), QProcess::Running);
}

} // namespace
