#include "web/webapp.h"

#include "archives/journalreading.h"
#include "collect/exporting.h"
#include "collect/monthreport.h"
#include "device/encodings.h"
#include "files/consumptionpdf.h"
#include "store/store.h"
#include "web/html.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cmath>
#include <iterator>

namespace web {

namespace {

constexpr qsizetype MaxPath = 2048;
constexpr qsizetype MaxBody = 16 * 1024;
constexpr qsizetype MaxPeriods = 100000;
const QByteArray CookieName = "kastari_session";

using store::Condition;
using store::MeterState;

const char* const ConditionKeys[] = {"nolink", "fault", "abnormal", "downtime", "gaps", "normal"};

QString key(Condition c) {
    return QString::fromLatin1(ConditionKeys[int(c)]);
}

std::optional<Condition> conditionOf(const QString& k) {
    for (int i = 0; i <= int(Condition::Normal); ++i)
        if (k == QLatin1String(ConditionKeys[i])) return Condition(i);
    return std::nullopt;
}

// A number in a path: nothing for what is no number at all (no such path: 404), 0 for digits that
// are no electronic number (a bad request: 400).
enum class Number { None, Bad, Good };
Number parseNumber(const QString& s, std::uint32_t* value) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(s).hasMatch()) return Number::None;
    bool ok = false;
    const qulonglong v = s.size() <= 10 ? s.toULongLong(&ok) : 0;
    if (!ok || v > 0xFFFFFFFFull) return Number::Bad;
    *value = std::uint32_t(v);
    return Number::Good;
}

QString deviceTime(std::int64_t t, const QString& pattern) {
    return enc::SecToDate(std::uint32_t(t)).toString(pattern);
}

QJsonValue isoDevice(const std::optional<std::int64_t>& t) {
    if (!t) return QJsonValue::Null;
    return deviceTime(*t, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QJsonValue isoPc(const QDateTime& t) {
    return t.isValid() ? QJsonValue(t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate))
                       : QJsonValue(QJsonValue::Null);
}

QJsonValue number(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

// "2026-03-01" or "2026-03-01T10:00[:00]" in the meter's clock; nothing for anything else.
std::optional<std::int64_t> parseTime(const QString& text, bool end) {
    if (text.size() > 32) return std::nullopt;
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) {
        const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid()) return std::nullopt;
        t = end ? d.addDays(1).startOfDay().addSecs(-1) : d.startOfDay();
    }
    if (t.date().year() < 2000 || t.date().year() > 2130) return std::nullopt;
    return enc::DateToSec(t);
}

// The first day of a month written "YYYY-MM"; an invalid date for anything else.
QDate monthOf(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^[0-9]{4}-[0-9]{2}$"));
    return form.match(text).hasMatch()
               ? QDate::fromString(text + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"))
               : QDate();
}

// '<', '>' and '&' only occur inside strings, where their escapes read back the same: a reply that
// a browser is tricked into taking for HTML then holds no markup.
Response json(const QJsonObject& o, int status = 200) {
    QByteArray body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    body.replace('<', "\\u003c").replace('>', "\\u003e").replace('&', "\\u0026");
    return {.status = status, .type = "application/json", .body = body};
}

Response htmlPage(const QString& title, const QString& body, const QString& user, int status = 200) {
    return {.status = status, .body = html::page(title, body, user)};
}

Response redirect(const QString& to) {
    return {.status = 303, .body = {}, .headers = {{"Location", to.toUtf8()}}};
}

QString stateCell(const MeterState& m, const store::Thresholds& t) {
    QString cell = QStringLiteral("<td class=\"state\">") + html::escape(store::conditionName(m.condition));
    const QStringList reasons = m.reasons(t);
    if (!reasons.isEmpty())
        cell += QStringLiteral("<div class=\"reasons\">") + html::escape(reasons.join(QStringLiteral("; "))) +
                QStringLiteral("</div>");
    return cell + QStringLiteral("</td>");
}

// The JSON word and the page's text of each result, indexed by store::Outcome::Result.
struct ResultWords {
    const char* key;
    const char* text;
};
constexpr ResultWords Results[] = {
    {"stored", "успешно"}, {"failed", "ошибка: "}, {"skipped", "пропущен: "}, {"partial", "частично: "}};
static_assert(std::size(Results) == int(store::Outcome::Result::Partial) + 1);

QString outcomeText(const MeterState& m) {
    if (!m.lastVisit.isValid()) return QStringLiteral("—");
    if (m.lastResult == store::Outcome::Result::Stored) return QString::fromUtf8(Results[0].text);
    return QString::fromUtf8(Results[int(m.lastResult)].text) + m.lastReason;
}

QJsonObject meterJson(const MeterState& m, const store::Thresholds& t) {
    QJsonArray problems, reasons;
    for (Condition c : m.problems)
        problems << key(c);
    for (const QString& r : m.reasons(t))
        reasons << r;
    return {
        {"number", m.number ? QJsonValue(qint64(*m.number)) : QJsonValue(QJsonValue::Null)},
        {"name", m.name},
        {"line", m.line},
        {"address", m.address},
        {"device_text", m.deviceText},
        {"state", key(m.condition)},
        {"state_text", store::conditionName(m.condition)},
        {"problems", problems},
        {"reasons", reasons},
        {"last_collected", isoPc(m.lastCollected)},
        {"last_visit", isoPc(m.lastVisit)},
        {"last_result", m.lastVisit.isValid() ? QJsonValue(Results[int(m.lastResult)].key) : QJsonValue()},
        {"last_reason", m.lastReason},
        {"newest_hour", isoDevice(m.newest[0])},
        {"newest_day", isoDevice(m.newest[1])},
        {"newest_month", isoDevice(m.newest[2])},
        {"gaps", m.gaps},
        {"recent_gaps", m.recentGaps}};
}

const QStringList ArchiveKinds{"hour", "day", "month", "faults", "operator", "abnormal"};

QString archiveTitle(int archive) {
    static const char* const titles[] = {"Часовой архив",
                                         "Суточный архив",
                                         "Месячный архив",
                                         "Журнал отказов",
                                         "Журнал действий оператора",
                                         "Журнал нештатных ситуаций"};
    return QString::fromUtf8(titles[archive]);
}

QString sessionOf(const QByteArray& cookieHeader) {
    for (const QByteArray& part : cookieHeader.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.startsWith(CookieName + '=')) return QString::fromLatin1(p.mid(CookieName.size() + 1));
    }
    return {};
}

QString param(const Request& r, const char* name) {
    return r.query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
}

// Reads ?from= and ?to= (the end of a day given as a date) into *from and *to where given; the first
// that is no time, or nothing.
const char* badTime(const Request& r, std::int64_t* from, std::int64_t* to) {
    for (const auto& [name, into, end] : {std::tuple{"from", from, false}, std::tuple{"to", to, true}}) {
        const QString text = param(r, name);
        if (text.isEmpty()) continue;
        const std::optional<std::int64_t> t = parseTime(text, end);
        if (!t) return name;
        *into = *t;
    }
    return nullptr;
}

QUrlQuery formBody(const QByteArray& body) {
    // A form sends spaces as '+', which QUrlQuery would keep.
    return QUrlQuery(QString::fromLatin1(QByteArray(body).replace('+', "%20")));
}

Response failure(bool api, int status, const QString& text) {
    return api ? jsonError(status, text) : errorPage(status, text);
}

} // namespace

Response errorPage(int status, const QString& text) {
    return htmlPage(
        QStringLiteral("Ошибка %1").arg(status),
        QStringLiteral("<h1>Ошибка %1</h1><p class=\"err\">%2</p><p><a href=\"/\">Парк приборов</a></p>")
            .arg(QString::number(status), html::escape(text)),
        {}, status);
}

Response jsonError(int status, const QString& text) {
    return json({{"error", text}}, status);
}

WebApp::WebApp(store::Store& db, WebOptions options) : m_db(db), m_options(std::move(options)) {
    // An unknown name costs the same hashing as a known one, so timing does not tell names apart.
    if (m_options.users && !m_options.users->isEmpty())
        m_nobody =
            hashPassword(QStringLiteral("-"), QStringLiteral("-"), m_options.users->first().iterations);
}

std::optional<QList<MeterState>> WebApp::states(std::optional<std::uint32_t> only) {
    return store::meterStates(m_db, m_options.thresholds, m_options.now(), nullptr, only);
}

QByteArray WebApp::dataVersion() {
    // SQLite counts the commits of other connections; the insert position of PostgreSQL's
    // write-ahead log moves on with every change (the write position lags behind an asynchronous
    // commit). Nothing (and so no keeping) where neither can be read, such as on a standby.
    QSqlQuery q(m_db.db());
    const bool postgres = m_db.db().driverName() == u"QPSQL";
    if (!q.exec(postgres ? QStringLiteral("SELECT pg_current_wal_insert_lsn()::text")
                         : QStringLiteral("PRAGMA data_version")) ||
        !q.next())
        return {};
    return q.value(0).toString().toLatin1();
}

Response WebApp::handle(const Request& r) {
    const bool isApi = r.path.startsWith(QStringLiteral("/api/"));
    Response response;
    if (r.path.size() > MaxPath || r.body.size() > MaxBody) {
        response =
            failure(isApi, r.body.size() > MaxBody ? 413 : 414, QStringLiteral("слишком большой запрос"));
    } else if (!r.path.startsWith(u'/') || r.path.contains(u'\0') ||
               r.path.contains(QStringLiteral("/../")) || r.path.endsWith(QStringLiteral("/.."))) {
        response = failure(isApi, 400, QStringLiteral("неверный путь"));
    } else {
        QStringList parts = r.path.mid(1).split(u'/');
        if (parts.size() > 1 && parts.last().isEmpty()) parts.removeLast(); // "/meter/5/" is "/meter/5"
        response = route(r, parts);
    }
    // Pages hold customers' consumption: nobody caches them, frames them or guesses their type.
    response.headers
        << QPair<QByteArray, QByteArray>{"Cache-Control", "no-store"}
        << QPair<QByteArray, QByteArray>{"X-Content-Type-Options", "nosniff"}
        << QPair<QByteArray, QByteArray>{"X-Frame-Options", "DENY"}
        << QPair<QByteArray, QByteArray>{"Referrer-Policy", "no-referrer"}
        << QPair<QByteArray, QByteArray>{
               "Content-Security-Policy",
               "default-src 'none'; style-src 'unsafe-inline'; img-src 'self'; form-action 'self'; "
               "frame-ancestors 'none'"};
    return response;
}

Response WebApp::route(const Request& r, const QStringList& parts) {
    const bool isApi = parts.value(0) == u"api";
    if (parts.value(0) == u"login" && parts.size() == 1) return login(r);
    QString user;
    if (m_options.users) {
        const std::optional<QString> who = m_sessions.user(sessionOf(r.cookie).toLatin1(), m_options.now());
        if (!who) {
            if (isApi || r.method != "GET") return failure(isApi, 401, QStringLiteral("нужен вход"));
            return redirect(QStringLiteral("/login"));
        }
        user = *who;
    }
    m_user = user;
    if (parts.value(0) == u"logout" && parts.size() == 1) {
        if (r.method != "POST") return failure(isApi, 405, QStringLiteral("только POST"));
        m_sessions.close(sessionOf(r.cookie).toLatin1());
        Response out = redirect(m_options.users ? QStringLiteral("/login") : QStringLiteral("/"));
        out.headers << QPair<QByteArray, QByteArray>{
            "Set-Cookie", CookieName + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict"};
        return out;
    }
    if (r.method != "GET" && r.method != "HEAD") return failure(isApi, 405, QStringLiteral("только GET"));
    const bool fleetWide = parts == QStringList{QString()} ||
                           parts == QStringList{QStringLiteral("api"), QStringLiteral("meters")};
    if (!fleetWide) return isApi ? api(r, parts) : pages(r, parts);
    const QString cacheKey = user + u'\n' + r.path + u'?' + r.query.toString(QUrl::FullyEncoded);
    const QByteArray version = dataVersion();
    const QDateTime now = m_options.now();
    if (const auto hit = m_cache.find(cacheKey); hit != m_cache.end() && fresh(*hit, version, now, 60)) {
        hit->used = now;
        return hit->response;
    }
    ++m_fleetAnswersMade;
    Response out = isApi ? api(r, parts) : pages(r, parts);
    if (!version.isEmpty() && out.status == 200) {
        if (m_cache.size() >= 64) m_cache.clear(); // many filters asked for: start again
        m_cache.insert(cacheKey, {version, now, now, r, user, parts, out});
    }
    return out;
}

bool WebApp::fresh(const Cached& c, const QByteArray& version, const QDateTime& now, int seconds) {
    return !version.isEmpty() && c.version == version && c.made <= now && c.made.secsTo(now) < seconds;
}

void WebApp::refresh() {
    if (m_cache.isEmpty()) return;
    const QByteArray version = dataVersion();
    const QDateTime now = m_options.now();
    QList<QString> keys = m_cache.keys();
    std::sort(keys.begin(), keys.end(),
              [&](const QString& a, const QString& b) { return m_cache[a].used > m_cache[b].used; });
    int kept = 0;
    for (const QString& key : keys) {
        Cached& c = m_cache[key];
        // Ahead of the minute a request would wait for, so that a reload never pays for the query.
        if (fresh(c, version, now, 50)) {
            ++kept;
            continue;
        }
        // Only what people look at now is worked out again; the rest is made when asked for.
        if (version.isEmpty() || kept >= 8 || c.used.secsTo(now) > 300) {
            m_cache.remove(key);
            continue;
        }
        m_user = c.user;
        ++m_fleetAnswersMade;
        Response out = c.parts.value(0) == u"api" ? api(c.request, c.parts) : pages(c.request, c.parts);
        if (out.status != 200) {
            m_cache.remove(key);
            continue;
        }
        c.response = out;
        c.version = version;
        c.made = now;
        ++kept;
    }
}

Response WebApp::pages(const Request& r, const QStringList& parts) {
    Response out;
    std::uint32_t n = 0;
    if (parts == QStringList{QString()}) {
        out = fleet(r);
    } else if (parts.value(0) == u"meter" && parts.size() >= 2 && parts.size() <= 3) {
        const Number parsed = parseNumber(parts[1], &n);
        if (parsed == Number::None) return errorPage(404, QStringLiteral("нет такой страницы"));
        if (parsed == Number::Bad) return errorPage(400, QStringLiteral("неверный номер прибора"));
        if (parts.size() == 2)
            out = meterPage(r, n);
        else if (parts[2] == u"export")
            out = download(r, n, false);
        else if (parts[2] == u"report.pdf")
            out = download(r, n, true);
        else
            return errorPage(404, QStringLiteral("нет такой страницы"));
    } else {
        return errorPage(404, QStringLiteral("нет такой страницы"));
    }
    return out;
}

Response WebApp::login(const Request& r) {
    if (!m_options.users) return redirect(QStringLiteral("/"));
    const auto form = [](const QString& message, int status) {
        QString body = QStringLiteral("<h1>Вход</h1>");
        if (!message.isEmpty())
            body += QStringLiteral("<p class=\"err\" id=\"login-error\">") + html::escape(message) +
                    QStringLiteral("</p>");
        body += QStringLiteral(
            "<form method=\"post\" action=\"/login\"><p><label>Имя <input name=\"user\" "
            "id=\"user\" autocomplete=\"username\" required></label></p><p><label>Пароль "
            "<input name=\"password\" id=\"password\" type=\"password\" "
            "autocomplete=\"current-password\" required></label></p><p><button type=\"submit\" "
            "id=\"login\">Войти</button></p></form>");
        return htmlPage(QStringLiteral("Вход"), body, {}, status);
    };
    if (r.method == "GET") return form({}, 200);
    if (r.method != "POST") return errorPage(405, QStringLiteral("только GET и POST"));
    const QDateTime now = m_options.now();
    if (const qint64 wait = m_throttle.wait(r.remote, now); wait > 0) {
        Response out =
            form(QStringLiteral("Слишком много неудачных попыток: повторите через %1 с").arg(wait), 429);
        out.headers << QPair<QByteArray, QByteArray>{"Retry-After", QByteArray::number(wait)};
        return out;
    }
    const QUrlQuery fields = formBody(r.body);
    const QString name = fields.queryItemValue(QStringLiteral("user"), QUrl::FullyDecoded);
    const QString password = fields.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded);
    const auto found = std::find_if(m_options.users->begin(), m_options.users->end(),
                                    [&](const User& u) { return u.name == name; });
    const bool good = checkPassword(found != m_options.users->end() ? *found : m_nobody, password) &&
                      found != m_options.users->end();
    if (!good) {
        m_throttle.failed(r.remote, now);
        return form(QStringLiteral("Неверное имя или пароль"), 401);
    }
    m_throttle.succeeded(r.remote);
    Response out = redirect(QStringLiteral("/"));
    QByteArray cookie = CookieName + '=' + m_sessions.open(name, now) +
                        "; Path=/; Max-Age=" + QByteArray::number(Sessions::Lifetime) +
                        "; HttpOnly; SameSite=Strict";
    if (m_options.tls) cookie += "; Secure";
    out.headers << QPair<QByteArray, QByteArray>{"Set-Cookie", cookie};
    return out;
}

Response WebApp::fleet(const Request& r) {
    const QString stateKey = r.query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    const QString text = r.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded).trimmed();
    const QString sort = r.query.queryItemValue(QStringLiteral("sort"), QUrl::FullyDecoded);
    std::optional<Condition> only;
    if (!stateKey.isEmpty() && !(only = conditionOf(stateKey)))
        return errorPage(400, QStringLiteral("неизвестное состояние"));
    static const QStringList sorts{"", "number", "name", "line", "collected", "gaps"};
    if (!sorts.contains(sort)) return errorPage(400, QStringLiteral("неизвестный порядок"));
    if (text.size() > 200) return errorPage(400, QStringLiteral("слишком длинный текст поиска"));
    std::optional<QList<MeterState>> all = states();
    if (!all) return errorPage(503, QStringLiteral("база данных не читается"));

    int counts[int(Condition::Normal) + 1] = {};
    for (const MeterState& m : *all)
        ++counts[int(m.condition)];
    QList<MeterState> shown;
    for (const MeterState& m : *all) {
        if (only && m.condition != *only) continue;
        if (!text.isEmpty() && !(m.number && QString::number(*m.number).contains(text)) &&
            !m.name.contains(text, Qt::CaseInsensitive) && !m.line.contains(text, Qt::CaseInsensitive) &&
            !m.deviceText.contains(text, Qt::CaseInsensitive))
            continue;
        shown << m;
    }
    // The worst first is the order meterStates gives; the others keep it among equals.
    const auto by = [&](auto field) {
        std::stable_sort(shown.begin(), shown.end(),
                         [&](const MeterState& a, const MeterState& b) { return field(a) < field(b); });
    };
    if (sort == u"number") by([](const MeterState& m) { return std::pair(!m.number, m.number.value_or(0)); });
    if (sort == u"name") by([](const MeterState& m) { return m.name.toLower(); });
    if (sort == u"line") by([](const MeterState& m) { return std::pair(m.line, m.address); });
    if (sort == u"collected")
        by([](const MeterState& m) {
            return m.lastCollected.isValid() ? m.lastCollected.toMSecsSinceEpoch() : -1;
        });
    if (sort == u"gaps") by([](const MeterState& m) { return -m.gaps; });

    QString body = QStringLiteral("<h1>Парк приборов</h1><p id=\"summary\">Всего: <a href=\"/\">%1</a>")
                       .arg(all->size());
    for (int c = 0; c <= int(Condition::Normal); ++c)
        body += QStringLiteral(" · <a href=\"/?state=%1\">%2</a>: %3")
                    .arg(key(Condition(c)), html::escape(store::conditionName(Condition(c))),
                         QString::number(counts[c]));
    body += QStringLiteral("</p><form class=\"filter\" method=\"get\" action=\"/\"><label>Состояние <select "
                           "name=\"state\" id=\"state\"><option value=\"\">все</option>");
    for (int c = 0; c <= int(Condition::Normal); ++c)
        body += QStringLiteral("<option value=\"%1\"%2>%3</option>")
                    .arg(key(Condition(c)), only && int(*only) == c ? QStringLiteral(" selected") : QString(),
                         html::escape(store::conditionName(Condition(c))));
    body += QStringLiteral("</select></label> <label>Поиск <input name=\"q\" id=\"q\" value=\"%1\"></label> "
                           "<button type=\"submit\">Показать</button></form>")
                .arg(html::escape(text));
    QString keep;
    if (only) keep += QStringLiteral("state=") + key(*only) + u'&';
    if (!text.isEmpty())
        keep += QStringLiteral("q=") + QString::fromLatin1(QUrl::toPercentEncoding(text)) + u'&';
    const auto sortLink = [&](const QString& title, const QString& by) {
        QString qs = keep + (by.isEmpty() ? QString() : QStringLiteral("sort=") + by);
        if (qs.endsWith(u'&')) qs.chop(1);
        return QStringLiteral("<a href=\"/%1\">%2</a>")
            .arg(qs.isEmpty() ? QString() : QStringLiteral("?") + html::escape(qs), title);
    };
    const QStringList heading{sortLink(QStringLiteral("Номер"), QStringLiteral("number")),
                              sortLink(QStringLiteral("Наименование"), QStringLiteral("name")),
                              sortLink(QStringLiteral("Линия и адрес"), QStringLiteral("line")),
                              sortLink(QStringLiteral("Последний опрос"), QStringLiteral("collected")),
                              QStringLiteral("Итог"),
                              QStringLiteral("Последний час"),
                              QStringLiteral("Последние сутки"),
                              QStringLiteral("Последний месяц"),
                              sortLink(QStringLiteral("Не записано периодов"), QStringLiteral("gaps")),
                              sortLink(QStringLiteral("Состояние"), QString())};
    QList<QStringList> rows;
    QStringList classes;
    const auto newest = [](const std::optional<std::int64_t>& t, const char* pattern) {
        return t ? deviceTime(*t, QString::fromLatin1(pattern)) : QStringLiteral("—");
    };
    for (const MeterState& m : shown) {
        rows << QStringList{
            m.number ? QStringLiteral("<a href=\"/meter/%1\">%1</a>").arg(*m.number) : QStringLiteral("—"),
            html::escape(m.name),
            html::escape(m.line) + QStringLiteral(", адрес ") + QString::number(m.address),
            m.lastCollected.isValid() ? m.lastCollected.toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                                      : QStringLiteral("никогда"),
            html::escape(outcomeText(m)),
            newest(m.newest[0], "dd.MM.yyyy HH:00"),
            newest(m.newest[1], "dd.MM.yyyy"),
            newest(m.newest[2], "MM.yyyy"),
            QStringLiteral("<td class=\"n\">%1</td>").arg(m.gaps),
            stateCell(m, m_options.thresholds)};
        classes << key(m.condition);
    }
    body += html::table(heading, rows, classes, QStringLiteral("fleet"));
    if (shown.isEmpty()) body += QStringLiteral("<p>Нет приборов.</p>");
    return htmlPage(QStringLiteral("Парк приборов"), body, m_user);
}

Response WebApp::meterPage(const Request& r, std::uint32_t n) {
    const std::optional<QList<MeterState>> found = states(n);
    if (!found) return errorPage(503, QStringLiteral("база данных не читается"));
    if (found->isEmpty()) return errorPage(404, QStringLiteral("прибора %1 нет в базе").arg(n));
    const MeterState& m = found->first();
    const QString channelText = param(r, "channel");
    if (!channelText.isEmpty() && channelText != u"1" && channelText != u"2")
        return errorPage(400, QStringLiteral("канал 1 или 2"));
    const int channel = channelText == u"2" ? 2 : 1;
    QDate month = m.newest[1] ? enc::SecToDate(std::uint32_t(*m.newest[1])).date() : m_options.now().date();
    if (const QString text = param(r, "month"); !text.isEmpty()) {
        month = monthOf(text);
        if (!month.isValid() || month.year() < 2000 || month.year() > 2130)
            return errorPage(400, QStringLiteral("месяц как ГГГГ-ММ"));
    }
    month = QDate(month.year(), month.month(), 1);
    const QString chartKind = param(r, "chart");
    if (!chartKind.isEmpty() && chartKind != u"day" && chartKind != u"hour")
        return errorPage(400, QStringLiteral("график day или hour"));
    QDate day = m.newest[0] ? enc::SecToDate(std::uint32_t(*m.newest[0])).date() : month;
    if (const QString text = param(r, "day"); !text.isEmpty()) {
        day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!day.isValid() || day.year() < 2000 || day.year() > 2130)
            return errorPage(400, QStringLiteral("день как ГГГГ-ММ-ДД"));
    }
    const std::optional<consumption::Report> report =
        collect::monthReport(m_db, n, channel, month.year(), month.month(), m_options.now().date(), nullptr);
    if (!report) return errorPage(404, QStringLiteral("прибора %1 нет в базе").arg(n));

    const QString base = QStringLiteral("/meter/%1").arg(n);
    const auto link = [&](int ch, const QDate& mo, const QString& chart, const QDate& d) {
        QString q = QStringLiteral("%1?channel=%2&amp;month=%3")
                        .arg(base)
                        .arg(ch)
                        .arg(mo.toString(QStringLiteral("yyyy-MM")));
        if (chart == u"hour")
            q += QStringLiteral("&amp;chart=hour&amp;day=") + d.toString(QStringLiteral("yyyy-MM-dd"));
        return q;
    };
    QString body = QStringLiteral("<h1>Прибор %1</h1><div id=\"heading\">").arg(n);
    for (const QString& line : consumption::headingLines(*report))
        body += QStringLiteral("<div>") + html::escape(line) + QStringLiteral("</div>");
    body += QStringLiteral("</div><p>Состояние: <strong id=\"state\">%1</strong>")
                .arg(html::escape(store::conditionName(m.condition)));
    const QStringList reasons = m.reasons(m_options.thresholds);
    if (!reasons.isEmpty())
        body += QStringLiteral(" <span class=\"reasons\">") +
                html::escape(reasons.join(QStringLiteral("; "))) + QStringLiteral("</span>");
    body += QStringLiteral("</p><p>Канал: ");
    for (int ch = 1; ch <= 2; ++ch)
        body += ch == channel
                    ? QStringLiteral("<strong>%1</strong> ").arg(ch)
                    : QStringLiteral("<a href=\"%1\">%2</a> ").arg(link(ch, month, chartKind, day)).arg(ch);
    body += QStringLiteral(" Месяц: <a id=\"prev-month\" href=\"%1\">← %2</a> <strong>%3</strong> <a "
                           "id=\"next-month\" href=\"%4\">%5 →</a></p>")
                .arg(link(channel, month.addMonths(-1), {}, day),
                     month.addMonths(-1).toString(QStringLiteral("MM.yyyy")),
                     month.toString(QStringLiteral("MM.yyyy")), link(channel, month.addMonths(1), {}, day),
                     month.addMonths(1).toString(QStringLiteral("MM.yyyy")));

    // The month's days, as the report has them.
    QList<QStringList> rows;
    QStringList classes;
    for (const consumption::Day& d : report->days) {
        rows << html::escape(consumption::cells(d));
        classes << (d.state == consumption::Day::State::Recorded      ? QStringLiteral("recorded")
                    : d.state == consumption::Day::State::NotRecorded ? QStringLiteral("notrecorded")
                                                                      : QStringLiteral("nodata"));
    }
    QStringList total;
    for (const QString& c : consumption::totalCells(*report))
        total << QStringLiteral("<th>") + html::escape(c) + QStringLiteral("</th>");
    QString monthTable =
        html::table(html::escape(consumption::columnTitles()), rows, classes, QStringLiteral("month"));
    monthTable.replace(QStringLiteral("</tbody></table>"), QStringLiteral("</tbody><tfoot><tr>") +
                                                               total.join(QString()) +
                                                               QStringLiteral("</tr></tfoot></table>"));
    body += QStringLiteral("<h2>Потребление за месяц</h2>") + monthTable;
    for (const QString& line : consumption::footnoteLines(*report))
        body += QStringLiteral("<p class=\"reasons\">") + html::escape(line) + QStringLiteral("</p>");

    // The chart: the month's days, or the hours of one day.
    QList<html::Bar> bars;
    QString chartTitle;
    if (chartKind == u"hour") {
        const std::int64_t from = enc::DateToSec(day.startOfDay());
        QHash<std::int64_t, store::PeriodRow> byStart;
        for (const store::PeriodRow& p : m_db.periods(n, 0, channel, from, from + 23 * 3600))
            byStart.insert(p.start, p);
        for (int h = 0; h < 24; ++h) {
            html::Bar b{.label = QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'))};
            if (const auto it = byStart.constFind(from + h * 3600); it != byStart.cend()) {
                if (it->state == store::PeriodRow::State::Volumes)
                    b = {b.label, html::Bar::State::Value, it->plus, it->minus};
                else if (it->state == store::PeriodRow::State::Gap)
                    b.state = html::Bar::State::NotRecorded;
            }
            bars << b;
        }
        chartTitle = QStringLiteral("Часовые объемы за %1, канал %2")
                         .arg(day.toString(QStringLiteral("dd.MM.yyyy")))
                         .arg(channel);
    } else {
        for (const consumption::Day& d : report->days)
            bars << html::Bar{d.date.toString(QStringLiteral("dd")),
                              d.state == consumption::Day::State::Recorded ? html::Bar::State::Value
                              : d.state == consumption::Day::State::NotRecorded
                                  ? html::Bar::State::NotRecorded
                                  : html::Bar::State::Unread,
                              d.plus, d.minus};
        chartTitle = QStringLiteral("Суточные объемы за %1, канал %2")
                         .arg(month.toString(QStringLiteral("MM.yyyy")))
                         .arg(channel);
    }
    body += QStringLiteral(
                "<h2>График</h2><p><a href=\"%1\">по суткам</a> · <a href=\"%2\">по часам за %3</a></p>")
                .arg(link(channel, month, {}, day), link(channel, month, QStringLiteral("hour"), day),
                     day.toString(QStringLiteral("dd.MM.yyyy")));
    body += html::chart(chartTitle, bars);

    // Files: the same bytes the collector's export and report write.
    body += QStringLiteral("<h2>Файлы</h2><ul id=\"files\"><li><a id=\"report-pdf\" "
                           "href=\"%1/report.pdf?channel=%2&amp;month=%3\">"
                           "Отчёт о потреблении за %4 (PDF)</a></li>")
                .arg(base, QString::number(channel), month.toString(QStringLiteral("yyyy-MM")),
                     month.toString(QStringLiteral("MM.yyyy")));
    for (int a = 0; a < ArchiveKinds.size(); ++a) {
        const QString q =
            QStringLiteral("%1/export?archive=%2&amp;channel=%3").arg(base, ArchiveKinds[a]).arg(channel);
        body +=
            QStringLiteral("<li>%1%2: <a id=\"export-%3\" href=\"%4\">файл экспорта</a> · <a id=\"csv-%3\" "
                           "href=\"%4&amp;format=csv\">CSV</a></li>")
                .arg(archiveTitle(a), a < 3 || a == 5 ? QStringLiteral(", канал %1").arg(channel) : QString(),
                     ArchiveKinds[a], q);
    }
    body += QStringLiteral("</ul>");

    // The journals, events still going on first.
    const std::optional<store::MeterVisit> meter = m_db.meter(n);
    const bool twoChannel = meter && meter->twoChannelMode;
    body += QStringLiteral("<h2>Журналы</h2>");
    for (const int journal : {3, 4, 5, 6}) {
        QList<store::EntryRow> entries = m_db.entries(n, journal);
        std::stable_sort(entries.begin(), entries.end(),
                         [](const store::EntryRow& a, const store::EntryRow& b) {
                             return std::pair(a.ended.has_value(), -a.started) <
                                    std::pair(b.ended.has_value(), -b.started);
                         });
        QList<QStringList> jrows;
        QStringList jclasses;
        for (const store::EntryRow& e : entries.mid(0, 500)) {
            const JournalEntry entry{.code = e.code,
                                     .start = std::uint32_t(e.started),
                                     .end = std::uint32_t(e.ended.value_or(0)),
                                     .checkOk = true};
            jrows << html::escape(archives::journalRow(journal, entry, twoChannel));
            jclasses << (e.ended ? QString() : QStringLiteral("open"));
        }
        body += QStringLiteral("<h3>%1%2</h3>")
                    .arg(archiveTitle(std::min(journal, 5)),
                         journal >= 5 ? QStringLiteral(", канал %1").arg(journal - 4) : QString());
        body += jrows.isEmpty() ? QStringLiteral("<p>Событий нет.</p>")
                                : html::table(html::escape(archives::journalHeader(journal)), jrows, jclasses,
                                              QStringLiteral("journal-%1").arg(journal));
    }
    return htmlPage(QStringLiteral("Прибор %1").arg(n), body, m_user);
}

Response WebApp::download(const Request& r, std::uint32_t n, bool pdf) {
    const QString channelText = param(r, "channel");
    if (!channelText.isEmpty() && channelText != u"1" && channelText != u"2")
        return errorPage(400, QStringLiteral("канал 1 или 2"));
    const int channel = channelText == u"2" ? 2 : 1;
    if (pdf) {
        const QDate month = monthOf(param(r, "month"));
        if (!month.isValid()) return errorPage(400, QStringLiteral("месяц как ГГГГ-ММ"));
        const std::optional<consumption::Report> report = collect::monthReport(
            m_db, n, channel, month.year(), month.month(), m_options.now().date(), nullptr);
        if (!report) return errorPage(404, QStringLiteral("прибора %1 нет в базе").arg(n));
        return {
            .type = "application/pdf",
            .body = consumption::pdf(*report),
            .headers = {{"Content-Disposition", QStringLiteral("attachment; filename=\"report-%1-%2-%3.pdf\"")
                                                    .arg(n)
                                                    .arg(channel)
                                                    .arg(month.toString(QStringLiteral("yyyy-MM")))
                                                    .toLatin1()}}};
    }
    collect::ExportRequest e{.meter = n, .channel = channel - 1};
    e.archiveNumber = int(ArchiveKinds.indexOf(param(r, "archive")));
    if (e.archiveNumber < 0)
        return errorPage(400, QStringLiteral("архив: hour, day, month, faults, operator или abnormal"));
    const QString format = param(r, "format");
    if (!format.isEmpty() && format != u"text" && format != u"csv")
        return errorPage(400, QStringLiteral("формат text или csv"));
    e.csv = format == u"csv";
    if (badTime(r, &e.from, &e.to))
        return errorPage(400, QStringLiteral("время как ГГГГ-ММ-ДД или ГГГГ-ММ-ДДTчч:мм"));
    const std::optional<QByteArray> bytes = collect::exportBytes(m_db, e, nullptr);
    if (!bytes) return errorPage(404, QStringLiteral("прибора %1 нет в базе").arg(n));
    const QString file = QStringLiteral("%1-%2-%3.%4")
                             .arg(QString::number(n), ArchiveKinds[e.archiveNumber], QString::number(channel),
                                  e.csv ? QStringLiteral("csv") : QStringLiteral("txt"));
    return {.type = e.csv ? QByteArray("text/csv; charset=utf-8")
                          : QByteArray("text/plain; charset=windows-1251"),
            .body = *bytes,
            .headers = {{"Content-Disposition", "attachment; filename=\"" + file.toLatin1() + '"'}}};
}

Response WebApp::api(const Request& r, const QStringList& parts) {
    if (parts.value(1) != u"meters" || parts.size() > 4)
        return jsonError(404, QStringLiteral("no such path"));
    if (parts.size() == 2) {
        const std::optional<QList<MeterState>> all = states();
        if (!all) return jsonError(503, QStringLiteral("the database cannot be read"));
        QJsonArray meters;
        for (const MeterState& m : *all)
            meters << meterJson(m, m_options.thresholds);
        const store::Thresholds& t = m_options.thresholds;
        return json({{"meters", meters},
                     {"thresholds", QJsonObject{{"silent_hours", qint64(t.silentHours)},
                                                {"downtime_minutes", qint64(t.downtimeMinutes)},
                                                {"gap_days", qint64(t.gapDays)}}}});
    }
    std::uint32_t n = 0;
    const Number parsed = parseNumber(parts[2], &n);
    if (parsed == Number::None) return jsonError(404, QStringLiteral("no such path"));
    if (parsed == Number::Bad) return jsonError(400, QStringLiteral("not an electronic number"));
    const std::optional<QList<MeterState>> one = states(n);
    if (!one) return jsonError(503, QStringLiteral("the database cannot be read"));
    if (one->isEmpty()) return jsonError(404, QStringLiteral("meter %1 is not in the database").arg(n));
    if (parts.size() == 3) return json(meterJson(one->first(), m_options.thresholds));

    std::int64_t from = 0, to = INT64_MAX;
    if (const char* bad = badTime(r, &from, &to))
        return jsonError(
            400,
            QStringLiteral("%1: a date (2026-03-01) or a time (2026-03-01T10:00)").arg(QLatin1String(bad)));
    const QString channelText = param(r, "channel");
    if (!channelText.isEmpty() && channelText != u"1" && channelText != u"2")
        return jsonError(400, QStringLiteral("channel: 1 or 2"));
    const int channel = channelText == u"2" ? 2 : 1;
    if (parts[3] == u"periods") {
        const int archive = int(ArchiveKinds.mid(0, 3).indexOf(param(r, "archive")));
        if (archive < 0) return jsonError(400, QStringLiteral("archive: hour, day or month"));
        const QList<store::PeriodRow> rows = m_db.periods(n, archive, channel, from, to);
        static const char* const states[] = {"recorded", "not recorded", "no earlier record"};
        QJsonArray periods;
        for (const store::PeriodRow& p : rows.mid(0, MaxPeriods)) {
            const bool volumes = p.state == store::PeriodRow::State::Volumes;
            periods << QJsonObject{
                {"start", isoDevice(p.start)},
                {"state", states[int(p.state)]},
                {"plus", volumes ? number(p.plus) : QJsonValue(QJsonValue::Null)},
                {"minus", volumes ? number(p.minus) : QJsonValue(QJsonValue::Null)},
                {"downtime_s", p.downtime ? QJsonValue(qint64(*p.downtime)) : QJsonValue(QJsonValue::Null)},
                {"recorded_at", isoDevice(p.recordedAt)}};
        }
        return json({{"meter", qint64(n)},
                     {"archive", ArchiveKinds[archive]},
                     {"channel", channel},
                     {"periods", periods},
                     {"truncated", rows.size() > MaxPeriods}});
    }
    if (parts[3] == u"events") {
        const int kind = int(ArchiveKinds.indexOf(param(r, "journal")));
        if (kind < 3) return jsonError(400, QStringLiteral("journal: faults, operator or abnormal"));
        const int journal = kind == 5 && channel == 2 ? 6 : kind;
        const std::optional<store::MeterVisit> meter = m_db.meter(n);
        QJsonArray events;
        for (const store::EntryRow& e : m_db.entries(n, journal, from, to))
            events << QJsonObject{
                {"code", e.code},
                {"event", archives::eventText(journal, e.code, meter && meter->twoChannelMode).name},
                {"start", e.started ? isoDevice(e.started) : QJsonValue(QJsonValue::Null)},
                {"end", isoDevice(e.ended)},
                {"open", !e.ended.has_value()}};
        QJsonObject out{{"meter", qint64(n)}, {"journal", ArchiveKinds[kind]}, {"events", events}};
        if (kind == 5) out.insert(QStringLiteral("channel"), channel);
        return json(out);
    }
    return jsonError(404, QStringLiteral("no such path"));
}

} // namespace web
