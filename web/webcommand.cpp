#include "web/webcommand.h"

#include "store/meterstate.h"
#include "store/store.h"
#include "web/server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace web {

namespace {

QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}
QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

const char* const Help =
    "Usage: kastari-web [--db URL] [--listen ADDR:PORT] [--users FILE] [--tls-cert FILE --tls-key FILE]\n"
    "                   [--thresholds FILE]\n"
    "       kastari-web adduser NAME --users FILE\n"
    "\n"
    "Serves the database kastari-collect fills as read-only web pages and a JSON API.\n"
    "\n"
    "  --db URL            sqlite:PATH or a file path (default kastari.db here), or\n"
    "                      postgresql://USER@HOST[:PORT]/DB (password from PGPASSWORD or ~/.pgpass)\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:8080); any address but the loopback\n"
    "                      needs --users\n"
    "  --users FILE        who may log in: lines kastari-web adduser writes (PBKDF2 hashes)\n"
    "  --tls-cert FILE     serve HTTPS with this PEM certificate (and --tls-key, its PEM key)\n"
    "  --tls-key FILE\n"
    "  --thresholds FILE   when a meter is in trouble, as for kastari-collect status\n"
    "\n"
    "adduser asks for NAME's password twice (without echo) and adds it to FILE, or changes it.\n"
    "Exit status: 1 bad command line or files; 2 the database cannot be opened; 3 cannot listen.\n";

// "kastari-web: MESSAGE" on stderr; gives the exit status the run ends with.
int tell(const QString& message, int status) {
    err() << "kastari-web: " << message << '\n';
    err().flush();
    return status;
}

int usage(const QString& message) {
    return tell(message + QStringLiteral("\nTry 'kastari-web --help'."), ExitUsage);
}

// The password from the terminal without echo; from a pipe as it comes (for scripts).
QString readPassword(const QString& prompt) {
    err() << prompt;
    err().flush();
#ifdef Q_OS_WIN
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode);
    if (console) SetConsoleMode(in, mode & ~ENABLE_ECHO_INPUT);
#else
    termios old{};
    const bool console = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &old) == 0;
    if (console) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
#endif
    // One stream for both questions: a stream reads ahead, and a second one would find nothing left.
    static QTextStream input(stdin);
    const QString line = input.readLine();
#ifdef Q_OS_WIN
    if (console) SetConsoleMode(in, mode);
#else
    if (console) tcsetattr(STDIN_FILENO, TCSANOW, &old);
#endif
    err() << "\n";
    err().flush();
    return line;
}

int addUser(const QString& name, const QString& file) {
    if (file.isEmpty()) return usage(QStringLiteral("adduser needs --users FILE"));
    if (!validUserName(name))
        return usage(QStringLiteral("a user name is 1 to 64 characters, no spaces or ':'"));
    const QString password = readPassword(QStringLiteral("Password for %1: ").arg(name));
    if (password.size() < 8) return usage(QStringLiteral("the password needs at least 8 characters"));
    if (readPassword(QStringLiteral("Again: ")) != password)
        return usage(QStringLiteral("the passwords differ"));
    QString error;
    if (!writeUser(file, hashPassword(name, password), &error)) return tell(error, ExitUsage);
    out() << "user " << name << " written to " << file << '\n';
    out().flush();
    return ExitOk;
}

} // namespace

bool makeReadOnly(store::Store& db) {
    QSqlQuery q(db.db());
    return q.exec(db.db().driverName() == u"QPSQL"
                      ? QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")
                      : QStringLiteral("PRAGMA query_only = ON"));
}

std::optional<std::pair<QHostAddress, quint16>> parseListen(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\[([0-9a-fA-F:.]+)\\]|([0-9.]+)):([0-9]{1,5})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const QHostAddress address(m.captured(2).isEmpty() ? m.captured(3) : m.captured(2));
    const int port = m.captured(4).toInt();
    if (address.isNull() || port > 65535) return std::nullopt;
    return std::pair{address, quint16(port)};
}

int run(const QStringList& args) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption db(QStringLiteral("db"), {}, QStringLiteral("URL")),
        listen(QStringLiteral("listen"), {}, QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:8080")),
        users(QStringLiteral("users"), {}, QStringLiteral("FILE")),
        cert(QStringLiteral("tls-cert"), {}, QStringLiteral("FILE")),
        key(QStringLiteral("tls-key"), {}, QStringLiteral("FILE")),
        thresholds(QStringLiteral("thresholds"), {}, QStringLiteral("FILE")),
        help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions({db, listen, users, cert, key, thresholds, help});
    if (!parser.parse(QStringList{QStringLiteral("kastari-web")} + args)) return usage(parser.errorText());
    if (parser.isSet(help)) {
        out() << Help;
        out().flush();
        return ExitOk;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.value(0) == u"adduser") {
        if (positional.size() != 2) return usage(QStringLiteral("adduser needs one NAME"));
        return addUser(positional[1], parser.value(users));
    }
    if (!positional.isEmpty()) return usage(QStringLiteral("unexpected argument %1").arg(positional[0]));

    const auto where = parseListen(parser.value(listen));
    if (!where) return usage(QStringLiteral("--listen takes ADDR:PORT, such as 127.0.0.1:8080"));
    WebOptions options;
    QString error;
    const std::optional<store::Thresholds> limits = store::readThresholds(parser.value(thresholds), &error);
    if (!limits) return usage(error);
    options.thresholds = *limits;
    if (parser.isSet(users)) {
        options.users = readUsers(parser.value(users), &error);
        if (!options.users) return usage(error);
        if (options.users->isEmpty())
            return usage(QStringLiteral("%1 holds no user").arg(parser.value(users)));
    } else if (!where->first.isLoopback()) {
        // Meter data is customers' consumption: nobody else's network sees it without a login.
        return usage(QStringLiteral("listening on %1 needs --users FILE").arg(where->first.toString()));
    }
    if (parser.isSet(cert) != parser.isSet(key))
        return usage(QStringLiteral("--tls-cert and --tls-key go together"));

    const std::optional<store::Location> location = store::parseLocation(parser.value(db), &error);
    if (!location) return usage(error);
    // Opening a missing SQLite file would make an empty one; a viewer must not.
    if (location->kind == store::Location::Kind::SQLite && !QFileInfo::exists(location->path))
        return tell(QStringLiteral("database %1 does not exist").arg(location->describe()), ExitDatabase);
    const std::unique_ptr<store::Store> database =
        store::Store::open(*location, &error, store::SchemaVersion, false);
    if (!database)
        return tell(QStringLiteral("database %1 cannot be opened: %2").arg(location->describe(), error),
                    ExitDatabase);
#if QT_CONFIG(ssl)
    QSslCertificate certificate;
    QSslKey privateKey;
    if (parser.isSet(cert)) {
        QFile c(parser.value(cert)), k(parser.value(key));
        if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly))
            return usage(QStringLiteral("the certificate or key cannot be read"));
        certificate = QSslCertificate(&c, QSsl::Pem);
        const QByteArray pem = k.readAll();
        privateKey = QSslKey(pem, QSsl::Rsa, QSsl::Pem);
        if (privateKey.isNull()) privateKey = QSslKey(pem, QSsl::Ec, QSsl::Pem);
        if (certificate.isNull() || privateKey.isNull())
            return usage(QStringLiteral("the certificate or key is not PEM"));
        options.tls = true;
    }
#else
    if (parser.isSet(cert)) return usage(QStringLiteral("this build has no TLS"));
#endif
    // The viewer only reads: a fault in it, or a request crafted against it, cannot change a row.
    if (!makeReadOnly(*database))
        return tell(QStringLiteral("database %1 cannot be made read-only: %2")
                        .arg(location->describe(), database->lastError()),
                    ExitDatabase);
    WebApp app(*database, options);
    Server serving(app);
#if QT_CONFIG(ssl)
    if (options.tls) serving.sslSetup(certificate, privateKey);
#endif
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, [&app] { app.refresh(); });
    refresh.start(2000);
    const quint16 port = serving.listen(where->first, where->second);
    if (!port) return tell(QStringLiteral("cannot listen on ") + parser.value(listen), ExitListen);
    out() << "listening on " << (options.tls ? "https://" : "http://")
          << (where->first.protocol() == QAbstractSocket::IPv6Protocol ? '[' + where->first.toString() + ']'
                                                                       : where->first.toString())
          << ':' << port << '\n';
    out().flush();
    return QCoreApplication::exec();
}

} // namespace web
