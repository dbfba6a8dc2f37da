#include "store/database.h"

#include <QRegularExpression>
#include <QUrl>
#include <QtGlobal>
#include <algorithm>

namespace store {

QString Location::describe() const {
    if (kind == Kind::SQLite) return path;
    QString text = QStringLiteral("postgresql://%1@%2").arg(user, host);
    if (port) text += QStringLiteral(":%1").arg(port);
    return text + u'/' + database;
}

std::optional<Location> parseLocation(const QString& url, QString* error) {
    const auto fail = [error](const QString& why) -> std::optional<Location> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (url.isEmpty()) return Location{.path = QString::fromLatin1(DefaultFile)};
    if (url.startsWith(QStringLiteral("sqlite:"))) {
        const QString path = url.mid(7);
        if (path.isEmpty()) return fail(QStringLiteral("no file after sqlite:"));
        return Location{.path = path};
    }
    const bool postgres =
        url.startsWith(QStringLiteral("postgresql://")) || url.startsWith(QStringLiteral("postgres://"));
    if (!postgres) {
        if (url.contains(QStringLiteral("://"))) return fail(QStringLiteral("unknown database kind: ") + url);
        return Location{.path = url};
    }
    // Parsed by hand: QUrl refuses a socket folder written into the host as %2F...
    static const QRegularExpression form(
        QStringLiteral("^postgres(?:ql)?://([^@/]*)@([^/:]+)(?::(\\d{1,5}))?/([^/?#]+)$"));
    const QRegularExpressionMatch m = form.match(url);
    if (!m.hasMatch() || m.captured(1).isEmpty())
        return fail(QStringLiteral("expected postgresql://USER@HOST[:PORT]/DB, got ") + url);
    if (m.captured(1).contains(u':'))
        return fail(QStringLiteral("a password does not belong in the URL: use PGPASSWORD or ~/.pgpass"));
    const auto decoded = [](const QString& part) { return QUrl::fromPercentEncoding(part.toUtf8()); };
    Location loc{.kind = Location::Kind::PostgreSQL};
    loc.user = decoded(m.captured(1));
    loc.host = decoded(m.captured(2));
    loc.port = m.captured(3).toInt();
    loc.database = decoded(m.captured(4));
    return loc;
}

int connectTimeoutSeconds() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("PGCONNECT_TIMEOUT", &ok);
    return ok && seconds > 0 ? std::max(seconds, 2) : ConnectTimeoutSeconds;
}

QString postgresConnectOptions() {
    QString options = QStringLiteral("connect_timeout=%1;").arg(connectTimeoutSeconds());
    // An options= in the connection string hides PGOPTIONS: it is carried after ours, so that a
    // statement_timeout of its own comes later and wins.
    QString server = QStringLiteral("-c statement_timeout=%1").arg(StatementTimeoutSeconds * 1000);
    const QString fromEnvironment = qEnvironmentVariable("PGOPTIONS").trimmed();
    if (!fromEnvironment.isEmpty()) server += u' ' + fromEnvironment;
    server.replace(QStringLiteral("\\"), QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return options + QStringLiteral("options='%1'").arg(server);
}

Failure failureOf(const QString& error) {
    // libpq's own texts, and the server's (in English unless its lc_messages says otherwise).
    const struct {
        Failure failure;
        const char* text;
    } signs[] = {
        {Failure::NoAnswer, "timeout expired"},
        {Failure::NoAnswer, "statement timeout"},
        {Failure::Credentials, "password authentication failed"},
        {Failure::Credentials, "no password supplied"},
        {Failure::Credentials, "authentication failed"},
        {Failure::Credentials, "role \"[^\"]*\" does not exist"},
        {Failure::NoDatabase, "database \"[^\"]*\" does not exist"},
        {Failure::Refused, "connection refused"},
    };
    for (const auto& s : signs)
        if (error.contains(
                QRegularExpression(QString::fromLatin1(s.text), QRegularExpression::CaseInsensitiveOption)))
            return s.failure;
    return Failure::Other;
}

} // namespace store
