// kastari-web's answers without sockets: every route, its refusals and the login, against SQLite
// and PostgreSQL.
#include "device/encodings.h"
#include "store/store.h"
#include "testdatabases.h"
#include "web/html.h"
#include "web/webapp.h"
#include "web/webauth.h"
#include "web/webcommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace web;

namespace {

constexpr std::int64_t Day = 86400;
const QString Hostile = QStringLiteral("<script>alert('x')</script> & \"Котельная\"");

// Days of March 2026 in the meter's clock.
std::int64_t march(int day) {
    return enc::DateToSec(QDate(2026, 3, day).startOfDay());
}

} // namespace

TEST(WebHtml, EscapesEverythingThatOpensMarkup) {
    EXPECT_EQ(html::escape(Hostile),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;Котельная&quot;");
    EXPECT_EQ(html::escape(""), "");
}

TEST(WebListen, Addresses) {
    const struct {
        const char* text;
        bool ok;
        bool loopback;
        int port;
    } rows[] = {{"127.0.0.1:8080", true, true, 8080},       {"[::1]:80", true, true, 80},
                {"0.0.0.0:8443", true, false, 8443},        {"10.1.2.3:1", true, false, 1},
                {"localhost:8080", false, false, 0},        {"127.0.0.1", false, false, 0},
                {"127.0.0.1:99999", false, false, 0},       {"300.1.1.1:80", false, false, 0},
                {"127.0.0.1:80; rm -rf /", false, false, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const auto parsed = parseListen(r.text);
        ASSERT_EQ(parsed.has_value(), r.ok);
        if (!parsed) continue;
        EXPECT_EQ(parsed->first.isLoopback(), r.loopback);
        EXPECT_EQ(parsed->second, r.port);
    }
}

TEST(WebUsers, FileKeepsSaltedHashesAndRefusesWhatIsNoUser) {
    QTemporaryDir dir;
    const QString path = dir.filePath("users");
    QString error;
    ASSERT_TRUE(writeUser(path, hashPassword("anna", "first password", 1000), &error)) << error.toStdString();
    ASSERT_TRUE(writeUser(path, hashPassword("boris", "second password", 1000), &error));
    ASSERT_TRUE(writeUser(path, hashPassword("anna", "changed password", 1000), &error)); // replaces
    std::optional<QList<User>> users = readUsers(path, &error);
    ASSERT_TRUE(users) << error.toStdString();
    ASSERT_EQ(users->size(), 2);
    const User& anna = users->at(1);
    EXPECT_EQ(anna.name, "anna");
    EXPECT_TRUE(checkPassword(anna, "changed password"));
    EXPECT_FALSE(checkPassword(anna, "first password"));
    EXPECT_FALSE(checkPassword(anna, ""));
    // The same password twice gives two different lines: the salt is random.
    EXPECT_NE(userLine(hashPassword("x", "pw", 1000)), userLine(hashPassword("x", "pw", 1000)));
    EXPECT_EQ(QFile(path).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);

    const char* const bad[] = {"anna:plain:secret", "anna:pbkdf2-sha256:10:AAAAAAAAAAA=:AAAA",
                               "anna:pbkdf2-sha256:200000:!!:AAAA",
                               "a b:pbkdf2-sha256:200000:AAAAAAAAAAA=:AAAA"};
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("# users\n") + line + '\n');
        f.close();
        EXPECT_FALSE(readUsers(path, &error));
        EXPECT_TRUE(error.contains(":2:")) << error.toStdString();
    }
}

class WebAppTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        const std::optional<QString> made = newDatabaseOrSkip(GetParam());
        if (!made) return;
        url = *made;
        QString error;
        db = store::Store::open(*store::parseLocation(url, &error), &error);
        ASSERT_TRUE(db) << error.toStdString();
        store::MeterVisit v{
            .number = 101, .line = "/dev/ttyS0", .name = Hostile, .address = 7, .deviceText = "ДК-2 <b>"};
        for (int d = 1; d <= 31; ++d)
            v.periods << store::PeriodRow{.archive = 1,
                                          .channel = 1,
                                          .start = march(d),
                                          .state = d == 5 ? store::PeriodRow::State::Gap
                                                          : store::PeriodRow::State::Volumes,
                                          .plus = 10.0 + d,
                                          .minus = 0.5,
                                          .downtime = 60};
        v.entries << store::EntryRow{.journal = 3, .code = 4, .started = march(30)};
        ASSERT_TRUE(db->storeVisit(v, &error)) << error.toStdString();
        ASSERT_TRUE(db->beginRun("r", QDateTime::currentDateTime(), "h"));
        ASSERT_TRUE(db->recordOutcome("r", {.line = "/dev/ttyS0",
                                            .name = Hostile,
                                            .address = 7,
                                            .number = 101u,
                                            .result = store::Outcome::Result::Partial,
                                            .reason = "3 periods not read"}));
        ASSERT_TRUE(db->recordOutcome("r", {.line = "/dev/ttyS0",
                                            .name = "<i>нет</i>",
                                            .address = 8,
                                            .result = store::Outcome::Result::Failed,
                                            .reason = "no reply"}));
    }
    WebApp& app(bool users, bool tls = false) {
        WebOptions o{.tls = tls, .now = [this] { return clock; }};
        if (users) o.users = QList<User>{hashPassword("anna", "correct horse", 1000)};
        made = std::make_unique<WebApp>(*db, o);
        return *made;
    }
    static Request get(const QString& path, const QString& query = {}) {
        return {.path = path, .query = QUrlQuery(query), .remote = "127.0.0.1"};
    }
    static Request loginAs(const QByteArray& user, const QByteArray& password,
                           const QString& from = "10.0.0.2") {
        return {.method = "POST",
                .path = "/login",
                .body = "user=" + user + "&password=" + password,
                .remote = from};
    }
    static QByteArray header(const Response& r, const QByteArray& name) {
        for (const auto& [n, v] : r.headers)
            if (n == name) return v;
        return {};
    }
    QString url;
    std::unique_ptr<store::Store> db;
    std::unique_ptr<WebApp> made;
    QDateTime clock = QDateTime::currentDateTime();
};

TEST_P(WebAppTest, EveryRouteAnswersAndRefusesWhatIsMalformed) {
    ASSERT_TRUE(db);
    WebApp& web = app(false);
    const struct {
        QByteArray method;
        const char* path;
        const char* query;
        int status;
        const char* type;
        const char* contains;
    } rows[] = {
        {"GET", "/", "", 200, "text/html; charset=utf-8", "&lt;script&gt;alert("},
        {"GET", "/", "state=fault", 200, "text/html", "/meter/101"},
        {"GET", "/", "state=normal", 200, "text/html", "Нет приборов"},
        {"GET", "/", "q=%27%3B%20DROP%20TABLE%20meters%3B--", 200, "text/html", "Нет приборов"},
        {"GET", "/", "q=%3Cscript%3E", 200, "text/html", "value=\"&lt;script&gt;\""},
        {"GET", "/", "sort=name", 200, "text/html", "fleet"},
        {"GET", "/", "state=bogus", 400, "text/html", "неизвестное состояние"},
        {"GET", "/", "sort=1;DROP", 400, "text/html", "порядок"},
        {"GET", "/meter/101", "", 200, "text/html", "не записан прибором"},
        {"GET", "/meter/101/", "month=2026-03&channel=1&chart=hour&day=2026-03-02", 200, "text/html", "<svg"},
        {"GET", "/meter/101", "month=2026-13", 400, "text/html", "ГГГГ-ММ"},
        {"GET", "/meter/101", "month=2026-3", 400, "text/html", "ГГГГ-ММ"},
        {"GET", "/meter/101", "channel=3", 400, "text/html", "канал"},
        {"GET", "/meter/101", "day=2026-02-30&chart=hour", 400, "text/html", "день"},
        {"GET", "/meter/999", "", 404, "text/html", "нет в базе"},
        {"GET", "/meter/abc", "", 404, "text/html", "нет такой"},
        {"GET", "/meter/-1", "", 404, "text/html", "нет такой"},
        {"GET", "/meter/99999999999", "", 400, "text/html", "номер"},
        {"GET", "/meter/4294967296", "", 400, "text/html", "номер"},
        {"GET", "/meter/101 OR 1=1", "", 404, "text/html", "нет такой"},
        {"GET", "/meter/101/export", "archive=day&format=csv", 200, "text/csv", "meter,archive,channel"},
        {"GET", "/meter/101/export", "archive=faults", 200, "text/plain; charset=windows-1251", ""},
        {"GET", "/meter/101/export", "archive=day&from=2026-03-02&to=2026-03-03&format=csv", 200, "text/csv",
         "2026-03-03T00:00:00"},
        {"GET", "/meter/101/export", "archive=../../etc/passwd", 400, "text/html", "архив"},
        {"GET", "/meter/101/export", "archive=day&from=yesterday", 400, "text/html", "время"},
        {"GET", "/meter/101/report.pdf", "month=2026-03", 200, "application/pdf", "%PDF"},
        {"GET", "/meter/101/report.pdf", "month=March", 400, "text/html", "ГГГГ-ММ"},
        {"GET", "/meter/101/report.pdf", "month=2026-03&channel=x", 400, "text/html", "канал"},
        {"GET", "/meter/101/journal", "", 404, "text/html", "нет такой"},
        {"GET", "/api/meters", "", 200, "application/json", "\"state\":\"fault\""},
        {"GET", "/api/meters", "", 200, "application/json", "\"last_result\":\"partial\""},
        {"GET", "/", "", 200, "text/html", "частично: 3 periods not read"},
        {"GET", "/api/meters/101", "", 200, "application/json", "\"number\":101"},
        {"GET", "/api/meters/101/periods", "archive=day&from=2026-03-30", 200, "application/json",
         "\"start\":\"2026-03-31T00:00:00\""},
        {"GET", "/api/meters/101/periods", "archive=day&from=2026-03-05&to=2026-03-05", 200,
         "application/json", "\"plus\":null"},
        {"GET", "/api/meters/101/periods", "archive=day&from=1%27%20OR%201=1", 400, "application/json",
         "from"},
        {"GET", "/api/meters/101/periods", "archive=day&from=2026-03-01&to=soon", 400, "application/json",
         "to: a date"},
        {"GET", "/meter/101/export", "archive=day&from=2026-03-01&to=soon", 400, "text/html", "время"},
        {"GET", "/api/meters/101/periods", "archive=week", 400, "application/json", "archive"},
        {"GET", "/api/meters/101/events", "journal=faults", 200, "application/json", "\"open\":true"},
        {"GET", "/api/meters/101/events", "journal=abnormal&channel=2", 200, "application/json",
         "\"events\":[]"},
        {"GET", "/api/meters/101/events", "journal=", 400, "application/json", "journal"},
        {"GET", "/api/meters/7", "", 404, "application/json", "not in the database"},
        {"GET", "/api/meters/x1", "", 404, "application/json", "no such path"},
        {"GET", "/api/meters/101/periods/extra", "", 404, "application/json", "no such path"},
        {"GET", "/api/secrets", "", 404, "application/json", "no such path"},
        {"GET", "/../../etc/passwd", "", 400, "text/html", "путь"},
        {"GET", "/meter/101/..", "", 400, "text/html", "путь"},
        {"GET", "/static/../../kastari.db", "", 400, "text/html", "путь"},
        {"GET", "/favicon.ico", "", 404, "text/html", "нет такой"},
        {"POST", "/", "", 405, "text/html", "GET"},
        {"DELETE", "/api/meters", "", 405, "application/json", "GET"},
        {"GET", "/login", "", 303, "text/html", ""}, // no users: nothing to log in to
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.path) + "?" + r.query);
        Request request = get(QString::fromUtf8(r.path), QString::fromUtf8(r.query));
        request.method = r.method;
        const Response out = web.handle(request);
        EXPECT_EQ(out.status, r.status);
        EXPECT_TRUE(out.type.startsWith(r.type)) << out.type.toStdString();
        EXPECT_TRUE(out.body.contains(r.contains)) << out.body.left(3000).toStdString();
        // Nothing a meter or a list said reaches a page unescaped, and no error shows the program's insides.
        EXPECT_FALSE(out.body.contains("<script>")) << out.body.left(3000).toStdString();
        EXPECT_FALSE(out.body.contains("<i>нет</i>"));
        EXPECT_FALSE(out.body.contains("QSql")) << out.body.left(3000).toStdString();
        EXPECT_EQ(header(out, "X-Content-Type-Options"), "nosniff");
    }
    QSqlQuery q(db->db());
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM meters"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);

    // The JSON carries the texts as they are, which a JSON reader takes back unchanged.
    const QJsonObject api = QJsonDocument::fromJson(web.handle(get("/api/meters")).body).object();
    const QJsonArray meters = api["meters"].toArray();
    ASSERT_EQ(meters.size(), 2);
    EXPECT_TRUE(meters[0]["number"].isNull()); // never answered: no link, before the fault
    EXPECT_EQ(meters[0]["name"].toString(), "<i>нет</i>");
    EXPECT_EQ(meters[1]["number"].toInteger(), 101);
    EXPECT_EQ(meters[1]["name"].toString(), Hostile);
    EXPECT_EQ(meters[1]["state_text"].toString(), "Отказ");
    // A visit that stored part of what it read had the link: the meter counts as collected.
    EXPECT_FALSE(meters[1]["last_collected"].isNull());
}

TEST_P(WebAppTest, TheViewersConnectionChangesNothing) {
    ASSERT_TRUE(db);
    ASSERT_TRUE(makeReadOnly(*db));
    QString error;
    EXPECT_FALSE(db->storeVisit({.number = 7, .line = "/dev/ttyS0"}, &error));
    QSqlQuery q(db->db());
    EXPECT_FALSE(q.exec("DELETE FROM meters"));
    EXPECT_FALSE(q.exec("CREATE TABLE x (y INTEGER)"));
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM meters"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(app(false).handle(get("/meter/101")).status, 200);
}

TEST_P(WebAppTest, TheFleetIsMadeAgainWhenTheDatabaseChangesOrTimePasses) {
    ASSERT_TRUE(db);
    WebApp& web = app(false);
    const auto states = [&] {
        QStringList out;
        for (const QJsonValue m :
             QJsonDocument::fromJson(web.handle(get("/api/meters")).body)["meters"].toArray())
            out << QString::number(m["number"].toInteger()) + ':' + m["state"].toString();
        return out.join(' ');
    };
    EXPECT_EQ(states(), "0:nolink 101:fault");
    EXPECT_EQ(states(), "0:nolink 101:fault");
    // The collector, on a connection of its own, stores a meter: the next answer has it.
    QString error;
    std::unique_ptr<store::Store> writer = store::Store::open(*store::parseLocation(url, &error), &error);
    ASSERT_TRUE(writer) << error.toStdString();
    ASSERT_TRUE(writer->storeVisit({.number = 102, .line = "/dev/ttyS0", .address = 9}, &error));
    EXPECT_EQ(states(), "102:nolink 0:nolink 101:fault");
    EXPECT_TRUE(web.handle(get("/")).body.contains("/meter/102"));
    // Made again between requests, so a reload after a change costs nothing.
    ASSERT_TRUE(writer->storeVisit({.number = 103, .line = "/dev/ttyS0", .address = 10}, &error));
    const int made = web.fleetAnswersMade();
    web.refresh();
    EXPECT_EQ(web.fleetAnswersMade(), made + 2); // the page and the API, both looked at
    EXPECT_EQ(states(), "102:nolink 103:nolink 0:nolink 101:fault");
    EXPECT_TRUE(web.handle(get("/")).body.contains("/meter/103"));
    EXPECT_EQ(web.fleetAnswersMade(), made + 2);
    web.refresh(); // nothing changed: nothing made
    EXPECT_EQ(web.fleetAnswersMade(), made + 2);
    // Nothing changes, but three days pass: 101 has not been collected since.
    clock = clock.addDays(3);
    EXPECT_EQ(states(), "101:nolink 102:nolink 103:nolink 0:nolink");
}

TEST_P(WebAppTest, OversizedRequestsAreRefusedBeforeAnythingIsRead) {
    ASSERT_TRUE(db);
    WebApp& web = app(true);
    Request big = loginAs("anna", "correct horse");
    big.body += QByteArray(64 * 1024, 'x');
    EXPECT_EQ(web.handle(big).status, 413);
    EXPECT_EQ(web.handle(get("/meter/" + QString(5000, '1'))).status, 414);
}

TEST_P(WebAppTest, WithUsersNothingIsShownBeforeALogin) {
    ASSERT_TRUE(db);
    WebApp& web = app(true);
    const char* const paths[] = {"/",
                                 "/meter/101",
                                 "/meter/101/export",
                                 "/meter/101/report.pdf",
                                 "/api/meters",
                                 "/api/meters/101/periods",
                                 "/api/meters/101/events",
                                 "/nowhere",
                                 "/logout"};
    const QByteArray cookies[] = {"", "kastari_session=", "kastari_session=0123456789abcdef",
                                  "kastari_session=' OR 1=1 --", "other=1; kastari_session=../../x"};
    for (const char* path : paths)
        for (const QByteArray& cookie : cookies) {
            SCOPED_TRACE(std::string(path) + " with " + cookie.toStdString());
            Request r = get(path, "archive=day&month=2026-03&journal=faults");
            r.cookie = cookie;
            const Response out = web.handle(r);
            EXPECT_TRUE(out.status == 303 || out.status == 401) << out.status;
            if (out.status == 303) {
                EXPECT_EQ(header(out, "Location"), "/login");
            }
            EXPECT_FALSE(out.body.contains("101")) << out.body.toStdString();
            EXPECT_FALSE(out.body.contains("Котельная"));
        }
}

TEST_P(WebAppTest, LoginGivesAStrictCookieAndFailuresSlowTheNext) {
    ASSERT_TRUE(db);
    WebApp& web = app(true);
    EXPECT_EQ(web.handle(get("/login")).status, 200);
    const struct {
        QByteArray user, password;
        int status;
    } attempts[] = {
        {"anna", "wrong", 401},
        {"nobody", "correct+horse", 401},
        {"anna", "", 401},
        // The third failure makes the address wait, whatever it sends next.
        {"anna", "correct+horse", 429},
    };
    for (const auto& a : attempts) {
        SCOPED_TRACE(a.user.toStdString() + "/" + a.password.toStdString());
        const Response out = web.handle(loginAs(a.user, a.password));
        EXPECT_EQ(out.status, a.status);
        EXPECT_TRUE(header(out, "Set-Cookie").isEmpty());
    }
    EXPECT_FALSE(header(web.handle(loginAs("anna", "correct+horse")), "Retry-After").isEmpty());
    // Another address is not held up; after the wait this one may try again.
    EXPECT_EQ(web.handle(loginAs("anna", "correct+horse", "10.0.0.3")).status, 303);
    clock = clock.addSecs(61);
    const Response good = web.handle(loginAs("anna", "correct+horse"));
    ASSERT_EQ(good.status, 303);
    const QByteArray cookie = header(good, "Set-Cookie");
    EXPECT_TRUE(cookie.contains("; HttpOnly")) << cookie.toStdString();
    EXPECT_TRUE(cookie.contains("; SameSite=Strict"));
    EXPECT_FALSE(cookie.contains("Secure"));

    Request page = get("/meter/101");
    page.cookie = "theme=dark; " + cookie.left(cookie.indexOf(';'));
    Response out = web.handle(page);
    EXPECT_EQ(out.status, 200);
    EXPECT_TRUE(out.body.contains("anna")) << "the logout form names the user";
    // A session ends after its lifetime, and at logout.
    clock = clock.addSecs(Sessions::Lifetime + 1);
    EXPECT_EQ(web.handle(page).status, 303);

    WebApp& secure = app(true, true);
    const QByteArray tlsCookie = header(secure.handle(loginAs("anna", "correct+horse")), "Set-Cookie");
    EXPECT_TRUE(tlsCookie.endsWith("; Secure")) << tlsCookie.toStdString();
    page.cookie = tlsCookie.left(tlsCookie.indexOf(';'));
    EXPECT_EQ(secure.handle(page).status, 200);
    Request logout = page;
    logout.method = "POST";
    logout.path = "/logout";
    EXPECT_EQ(secure.handle(logout).status, 303);
    EXPECT_EQ(secure.handle(page).status, 303);
}

INSTANTIATE_TEST_SUITE_P(Backends, WebAppTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& info) { return std::string(backendName(info.param)); });
