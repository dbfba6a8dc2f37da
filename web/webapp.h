#pragma once
// kastari-web's answers, apart from the sockets: a request in, a response out. Pages, the JSON API,
// the downloads, the login; every path, parameter and number of a request is checked here, and
// nothing of it reaches SQL except as a bound value.
#include "store/meterstate.h"
#include "web/webauth.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrlQuery>
#include <functional>
#include <optional>

namespace store {
class Store;
}

namespace web {

struct Request {
    QByteArray method = "GET";
    QString path = QStringLiteral("/"); // decoded
    QUrlQuery query{};
    QByteArray cookie{}; // the Cookie header
    QByteArray contentType{};
    QByteArray body{};
    QString remote{}; // the client's address, for the login throttle
};

struct Response {
    int status = 200;
    QByteArray type = "text/html; charset=utf-8";
    QByteArray body{};
    QList<QPair<QByteArray, QByteArray>> headers{};
};

struct WebOptions {
    store::Thresholds thresholds{};
    std::optional<QList<User>> users{}; // none: no login (the server then listens on loopback only)
    bool tls = false;                   // cookies then say Secure
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

class WebApp {
  public:
    WebApp(store::Store& db, WebOptions options);
    Response handle(const Request& request);
    // Works out again the fleet answers people are looking at when the database has changed or
    // they are getting old; the server calls it every few seconds, between requests.
    void refresh();
    // How many times the fleet's answers were worked out (requests and refresh() both count).
    int fleetAnswersMade() const { return m_fleetAnswersMade; }

  private:
    Response route(const Request& r, const QStringList& parts);
    Response pages(const Request& r, const QStringList& parts); // once the request is let in
    Response login(const Request& r);
    Response fleet(const Request& r);
    Response meterPage(const Request& r, std::uint32_t number);
    Response download(const Request& r, std::uint32_t number, bool pdf);
    Response api(const Request& r, const QStringList& parts);
    // The whole fleet's, or `only` that meter's; nothing when the database cannot be read.
    std::optional<QList<store::MeterState>> states(std::optional<std::uint32_t> only = {});
    QByteArray dataVersion();

    store::Store& m_db;
    WebOptions m_options;
    Sessions m_sessions;
    LoginThrottle m_throttle;
    User m_nobody{};
    // The fleet's answers as last made, kept while the database has not changed (and for a minute
    // at most, since "Нет связи" depends on the clock), and made again by refresh() once it has:
    // a dispatcher's reloads cost nothing.
    struct Cached {
        QByteArray version;
        QDateTime made, used;
        Request request;
        QString user;
        QStringList parts;
        Response response;
    };
    static bool fresh(const Cached& c, const QByteArray& version, const QDateTime& now, int seconds);
    int m_fleetAnswersMade = 0;
    QHash<QString, Cached> m_cache;
    QString m_user; // of the request being answered, for the pages' logout button
};

// The error pages: text that tells what is wrong, never what the program was doing.
Response errorPage(int status, const QString& text);
Response jsonError(int status, const QString& text);

} // namespace web
