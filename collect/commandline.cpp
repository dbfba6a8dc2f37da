#include "collect/commandline.h"

#include "collect/collector.h"
#include "collect/exporting.h"
#include "collect/meterlist.h"
#include "collect/monthreport.h"
#include "device/encodings.h"
#include "files/consumptionpdf.h"
#include "files/senscfg.h"
#include "files/textfile.h"
#include "link/optiontable.h"
#include "store/meterstate.h"
#include "store/opening.h"
#include "store/store.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>
#include <QUuid>
#include <climits>
#include <csignal>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace collect {

namespace {

int usage(const QString& message) {
    cmdline::tellUsage("kastari-collect", message);
    return ExitUsage;
}

// "kastari-collect: MESSAGE" on stderr; gives the exit status the run ends with.
int tell(const QString& message, int status) {
    cmdline::standardError() << "kastari-collect: " << message << '\n';
    cmdline::standardError().flush();
    return status;
}

int cannotWrite(const QString& path, const QString& why) {
    return tell(QStringLiteral("cannot write %1: %2").arg(path, why), ExitFile);
}

std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int) {
    stopRequested = true;
}

void printTable(const QList<QStringList>& rows) {
    QList<int> width(rows.first().size(), 0);
    for (const QStringList& r : rows)
        for (int c = 0; c < r.size(); ++c)
            width[c] = std::max(width[c], int(r[c].size()));
    for (const QStringList& r : rows) {
        QString line;
        for (int c = 0; c < r.size(); ++c)
            line += c + 1 < r.size() ? r[c].leftJustified(width[c] + 2) : r[c];
        cmdline::standardOutput() << line.trimmed() << '\n';
    }
    cmdline::standardOutput().flush();
}

QString resultWord(store::Outcome::Result result) {
    switch (result) {
    case store::Outcome::Result::Stored:
        return QStringLiteral("stored");
    case store::Outcome::Result::Partial:
        return QStringLiteral("partly stored");
    case store::Outcome::Result::Failed:
        return QStringLiteral("failed");
    case store::Outcome::Result::Skipped:
        break;
    }
    return QStringLiteral("skipped");
}

bool isDate(const QString& text) {
    return enc::parseDateTime(text).has_value();
}
constexpr const char* DateForm = "--from and --to take \"dd.mm.yyyy hh:nn\"";

constexpr cmdline::Option OptionTable[] = {
    {.names = "meters",
     .value = "FILE",
     .help = "one meter a line: LINE ADDRESS [SPEED] [NAME...]; LINE is a device path,\n"
             "tcp://HOST:PORT or modem:PATH:NUMBER; '#' starts a comment",
     .refusal = "--meters needs a file",
     .refuseEmpty = true},
    {.names = "db",
     .value = "URL",
     .help = "sqlite:PATH or a file path (default kastari.db here), or\n"
             "postgresql://USER@HOST[:PORT]/DB (password from PGPASSWORD or ~/.pgpass)",
     .refusal = "--db needs a URL",
     .refuseEmpty = true},
    {.names = "lines",
     .value = "N",
     .help = "at most N lines collected at once (default: all)",
     .refusal = "--lines needs a number from 1",
     .min = 1,
     .max = INT_MAX},
    {.names = "fast", .help = "end each reply as soon as it is complete by its length"},
    cmdline::retriesOption(),
    {.names = "trace",
     .value = "DIR",
     .help = "write each line's exchanges to DIR/LINE.csv",
     .refusal = "--trace needs a folder",
     .refuseEmpty = true},
    {.names = "settings",
     .value = "FILE",
     .help = "the monitor's Sens.cfg, whose modem settings (initialisation string, dial\n"
             "prefix, time to connect) modem lines dial with (default Sens.cfg here)",
     .refusal = "--settings needs a file",
     .refuseEmpty = true},
    {.names = "every",
     .value = "DURATION",
     .help = "collect again every DURATION (30m, 1h, 24h, 7d) until SIGINT or SIGTERM,\n"
             "which end the run after the meter being read",
     .refusal = "--every needs a duration such as 30m, 1h, 24h",
     .accepts = [](const QString& v) { return parseDuration(v).has_value(); }},
    cmdline::portMapOption("map port number n to a system port"),
    // Those of export and report, which the usage lines show.
    {.names = "meter", .value = "NUMBER", .refuseEmpty = true},
    {.names = "archive", .value = "KIND", .refuseEmpty = true},
    cmdline::channelOption(),
    {.names = "from", .value = "DATE", .accepts = isDate, .invalid = DateForm},
    {.names = "to", .value = "DATE", .accepts = isDate, .invalid = DateForm},
    {.names = "format",
     .value = "text|csv",
     .choices = "text|csv",
     .invalid = "--format must be text or csv"},
    {.names = "out", .value = "FILE", .refuseEmpty = true},
    {.names = "month", .value = "YYYY-MM", .refuseEmpty = true},
    {.names = "problems"},
    {.names = "thresholds", .value = "FILE", .refusal = "--thresholds needs a file", .refuseEmpty = true},
    {.names = "help|h"},
};

// Progress on a terminal: one line per serial line, rewritten in place; elsewhere a log line per
// meter visited.
class Progress {
  public:
    Progress(int lines, bool terminal) : m_text(lines), m_terminal(terminal) {}
    void update(int line, const QString& text) {
        if (!m_terminal) return;
        m_text[line] = text;
        if (m_shown) cmdline::standardError() << QStringLiteral("\x1b[%1A").arg(m_shown);
        for (const QString& t : m_text)
            cmdline::standardError() << "\r\x1b[K" << t.left(150) << '\n';
        m_shown = int(m_text.size());
        cmdline::standardError().flush();
    }
    void visited(const store::Outcome& o) {
        if (m_terminal) return;
        cmdline::standardError() << QDateTime::currentDateTime().toString(Qt::ISODate) << ' ' << o.line << ' '
                                 << o.address << ' ' << resultText(o) << '\n';
        cmdline::standardError().flush();
    }
    void done() {
        if (m_terminal && m_shown) {
            cmdline::standardError() << QStringLiteral("\x1b[%1A").arg(m_shown);
            for (int i = 0; i < m_shown; ++i)
                cmdline::standardError() << "\r\x1b[K\n";
            cmdline::standardError() << QStringLiteral("\x1b[%1A").arg(m_shown);
            cmdline::standardError().flush();
        }
        m_shown = 0;
    }
    static QString resultText(const store::Outcome& o) {
        QString r = resultWord(o.result);
        if (o.number) r += QStringLiteral(" meter %1").arg(*o.number);
        if (o.result == store::Outcome::Result::Stored || o.result == store::Outcome::Result::Partial)
            r += QStringLiteral(" %1 periods %2 events").arg(o.periods).arg(o.entries);
        if (!o.reason.isEmpty()) r += QStringLiteral(": ") + o.reason;
        return r;
    }

  private:
    QStringList m_text;
    bool m_terminal;
    int m_shown = 0;
};

void printSummary(const QList<store::Outcome>& outcomes) {
    QList<QStringList> rows{{"LINE", "ADDR", "METER", "NAME", "RESULT", "PERIODS", "EVENTS", "REQUESTS",
                             "BYTES", "FAILURES", "WRITE MS", "WHY"}};
    for (const store::Outcome& o : outcomes)
        rows.append({o.line, QString::number(o.address),
                     o.number ? QString::number(*o.number) : QStringLiteral("-"), o.name,
                     resultWord(o.result), QString::number(o.periods), QString::number(o.entries),
                     QString::number(o.requests), QString::number(o.bytes), QString::number(o.linkFailures),
                     QString::number(o.writeMs, 'f', 1), o.reason});
    printTable(rows);
}

// The monitor's own modem settings: a modem dials from the collector as it does from the window.
std::optional<modem::DialSettings> modemSettings(const QString& file, QString* error) {
    const QString path = file.isEmpty() ? QString::fromLatin1(senscfg::FileName) : file;
    const SensLoad load = senscfg::read(path);
    if (!load.modemInitString || !load.dialPrefix || !load.modemDelay) {
        *error = QStringLiteral("%1: the modem settings cannot be read: %2")
                     .arg(path, load.missing ? QStringLiteral("File not found") : load.error);
        return std::nullopt;
    }
    return modem::DialSettings{.initString = *load.modemInitString,
                               .dialPrefix = *load.dialPrefix,
                               .phoneNumber = {},
                               .delaySeconds = *load.modemDelay};
}

int runCollection(const cmdline::CommandLine& o) {
    const QString list = o.value("meters");
    if (list.isEmpty()) return usage(QStringLiteral("run needs --meters FILE"));
    store::OpenFailure failure;
    const std::optional<store::Location> location =
        store::locate(o.value("db"), store::Use::Collect, &failure);
    if (!location) return usage(failure.text());
    QFile file(list);
    if (!file.open(QIODevice::ReadOnly))
        return tell(list + QStringLiteral(": ") + file.errorString(), ExitUsage);
    QString error;
    const std::optional<QList<MeterEntry>> meters =
        parseMeterList(QString::fromUtf8(file.readAll()), list, &error);
    if (!meters) return tell(error, ExitUsage);
    // A trace that cannot be written would be found missing only after the run: refused before it.
    if (const QString trace = o.value("trace"); !trace.isEmpty() && !QDir().mkpath(trace))
        return cannotWrite(trace, QStringLiteral("not a folder, nor one that can be made"));
    if (meters->isEmpty())
        return tell(list + QStringLiteral(" lists no meter: nothing was collected"), ExitOk);
    std::optional<modem::DialSettings> dialling;
    if (std::any_of(meters->begin(), meters->end(), [](const MeterEntry& m) { return !m.dial.isEmpty(); })) {
        dialling = modemSettings(o.value("settings"), &error);
        if (!dialling) return tell(error, ExitUsage);
    }
    const std::unique_ptr<store::Store> db = store::openStore(*location, store::Use::Collect, &failure);
    if (!db) return tell(failure.text(), ExitDatabase);
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);

    const CollectOptions options{.database = *location,
                                 .lines = o.value("lines").toInt(),
                                 .fast = o.isSet("fast"),
                                 .retries = o.value("retries").toInt(nullptr, 0),
                                 .traceDir = o.value("trace"),
                                 .modem = dialling.value_or(modem::DialSettings{})};
    // Nothing is told as done that is not on record: a run that cannot record itself stops.
    const auto unrecorded = [&](const char* what, const QString& why) {
        return tell(
            QStringLiteral("database %1: %2 cannot be recorded: %3").arg(location->describe(), what, why),
            ExitDatabase);
    };
    const std::optional<qint64> every = parseDuration(o.value("every"));
    int status = ExitOk;
    for (;;) {
        const QDateTime started = QDateTime::currentDateTime();
        const QString runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!db->beginRun(runId, started, QHostInfo::localHostName(), &error))
            return unrecorded("the run", error);
        Progress progress(int(byPort(*meters).size()), isatty(fileno(stderr)));
        const CollectReport report{
            .progress = [&](int line, const QString& text) { progress.update(line, text); },
            .visited = [&](const store::Outcome& outcome) { progress.visited(outcome); }};
        const QList<store::Outcome> outcomes = collectOnce(*meters, options, runId, report, stopRequested);
        progress.done();
        const bool finished = db->finishRun(runId, QDateTime::currentDateTime(), &error);
        printSummary(outcomes);
        if (!finished) return unrecorded("the run's end", error);
        status = ExitOk;
        for (const store::Outcome& outcome : outcomes)
            if (outcome.result != store::Outcome::Result::Stored) status = ExitSomeFailed;
        if (!every || stopRequested) break;
        // The next run starts a whole period after this one started, unless it overran.
        const QDeadlineTimer next(
            std::max<qint64>(0, QDateTime::currentDateTime().msecsTo(started.addSecs(*every))));
        while (!next.hasExpired() && !stopRequested)
            QThread::msleep(std::min<qint64>(200, std::max<qint64>(1, next.remainingTime())));
        if (stopRequested) break;
    }
    return status;
}

// For the commands that only read: a database is never made for them, nor written.
std::unique_ptr<store::Store> openDatabase(const cmdline::CommandLine& o, int* status) {
    store::OpenFailure failure;
    std::unique_ptr<store::Store> db = store::openStore(o.value("db"), store::Use::Read, &failure);
    if (!db)
        *status = failure.kind == store::OpenFailure::Kind::BadUrl ? usage(failure.text())
                                                                   : tell(failure.text(), ExitDatabase);
    return db;
}

// The monitoring-plugin convention Nagios, Icinga and Zabbix read: 0 all normal, 1 warnings,
// 2 critical, 3 unknown (here: the database or the thresholds cannot be read).
enum PluginExit { PluginOk = 0, PluginWarning = 1, PluginCritical = 2, PluginUnknown = 3 };

int showStatus(const cmdline::CommandLine& o) {
    const bool problems = o.isSet("problems");
    QString error;
    const std::optional<store::Thresholds> thresholds = store::readThresholds(o.value("thresholds"), &error);
    if (!thresholds) return tell(error, problems ? int(PluginUnknown) : int(ExitUsage));
    int status = ExitOk;
    const std::unique_ptr<store::Store> db = openDatabase(o, &status);
    if (!db) return problems ? PluginUnknown : status;
    const std::optional<QList<store::MeterState>> states =
        store::meterStates(*db, *thresholds, QDateTime::currentDateTime(), &error);
    if (!states)
        return tell(QStringLiteral("the database cannot be read: ") + error,
                    problems ? int(PluginUnknown) : int(ExitDatabase));
    QList<QStringList> rows{{"METER", "NAME", "LINE", "ADDR", "LAST COLLECTED", "NEWEST HOUR", "NEWEST DAY",
                             "NEWEST MONTH", "GAPS", "LAST ERROR", "STATE"}};
    const auto period = [](const std::optional<std::int64_t>& t, const QString& pattern) {
        return t ? enc::SecToDate(std::uint32_t(*t)).toString(pattern) : QStringLiteral("-");
    };
    int critical = 0, warnings = 0;
    for (const store::MeterState& m : *states) {
        if (m.condition == store::Condition::Normal) {
            if (problems) continue;
        } else {
            ++(store::critical(m.condition) ? critical : warnings);
        }
        QString state = store::conditionName(m.condition);
        if (problems) state += QStringLiteral(": ") + m.reasons(*thresholds).join(QStringLiteral("; "));
        rows.append({m.number ? QString::number(*m.number) : QStringLiteral("-"), m.name, m.line,
                     QString::number(m.address),
                     m.lastCollected.isValid() ? m.lastCollected.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                               : QStringLiteral("never"),
                     period(m.newest[0], QStringLiteral("yyyy-MM-dd HH:00")),
                     period(m.newest[1], QStringLiteral("yyyy-MM-dd")),
                     period(m.newest[2], QStringLiteral("yyyy-MM")), QString::number(m.gaps),
                     m.lastResult == store::Outcome::Result::Failed ? m.lastReason : QString(), state});
    }
    if (!problems) {
        printTable(rows);
        return ExitOk;
    }
    // The first line is what a monitoring system shows; the table follows as its long text.
    const int code = critical ? PluginCritical : warnings ? PluginWarning : PluginOk;
    const char* const verdicts[] = {"OK", "WARNING", "CRITICAL"};
    cmdline::standardOutput() << "KASTARI " << verdicts[code] << " - " << states->size() << " meters, "
                              << critical << " critical, " << warnings << " warnings\n";
    if (rows.size() > 1) printTable(rows);
    cmdline::standardOutput().flush();
    return code;
}

int runExport(const cmdline::CommandLine& o) {
    static const QStringList kinds{"hour", "day", "month", "faults", "operator", "abnormal"};
    bool ok = false;
    ExportRequest r;
    r.meter = o.value("meter").toUInt(&ok);
    if (!ok) return usage(QStringLiteral("export needs --meter NUMBER, the electronic number"));
    r.archiveNumber = int(kinds.indexOf(o.value("archive")));
    if (r.archiveNumber < 0) return usage(QStringLiteral("export needs --archive %1").arg(kinds.join(u'|')));
    r.channel = o.value("channel") == "2" ? 1 : 0;
    r.csv = o.value("format") == "csv";
    for (const auto& [name, into] : {std::pair{"from", &r.from}, std::pair{"to", &r.to}})
        if (o.isSet(name)) *into = enc::DateToSec(*enc::parseDateTime(o.value(name)));
    const QString out = o.value("out");
    if (out.isEmpty()) return usage(QStringLiteral("export needs --out FILE"));
    int status = ExitOk;
    const std::unique_ptr<store::Store> db = openDatabase(o, &status);
    if (!db) return status;
    QString error;
    const std::optional<QByteArray> bytes = exportBytes(*db, r, &error);
    if (!bytes) return tell(error, ExitUsage);
    if (!textfile::write(out, *bytes, &error)) return cannotWrite(out, error);
    return ExitOk;
}

int runReport(const cmdline::CommandLine& o) {
    bool ok = false;
    const std::uint32_t meter = o.value("meter").toUInt(&ok);
    if (!ok) return usage(QStringLiteral("report needs --meter NUMBER, the electronic number"));
    const int channel = o.value("channel") == "2" ? 2 : 1;
    const QString month = o.value("month"), out = o.value("out");
    const QDate first = QDate::fromString(month + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
    if (!first.isValid()) return usage(QStringLiteral("report needs --month YYYY-MM"));
    if (out.isEmpty()) return usage(QStringLiteral("report needs --out FILE.pdf"));
    int status = ExitOk;
    const std::unique_ptr<store::Store> db = openDatabase(o, &status);
    if (!db) return status;
    QString error;
    const std::optional<consumption::Report> report =
        monthReport(*db, meter, channel, first.year(), first.month(), QDate::currentDate(), &error);
    if (!report) return tell(error, ExitUsage);
    if (!textfile::write(out, consumption::pdf(*report), &error)) return cannotWrite(out, error);
    if (!report->hasData())
        tell(QStringLiteral("no day of %1 is stored for meter %2; the report says so").arg(month).arg(meter),
             ExitOk);
    return ExitOk;
}

const struct {
    const char* name;
    int (*run)(const cmdline::CommandLine&);
} Commands[] = {
    {"run", runCollection},
    {"status", showStatus},
    {"export", runExport},
    {"report", runReport},
};

} // namespace

std::optional<qint64> parseDuration(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,6})([smhd])$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const qint64 n = m.captured(1).toLongLong();
    const qint64 unit = m.captured(2) == u"s"   ? 1
                        : m.captured(2) == u"m" ? 60
                        : m.captured(2) == u"h" ? 3600
                                                : 86400;
    if (n == 0) return std::nullopt;
    return n * unit;
}

QString helpText() {
    return QStringLiteral(
               "Usage: kastari-collect run --meters FILE [--db URL] [--lines N] [--fast] [--trace DIR] "
               "[--every DURATION]\n"
               "                           [--settings FILE] [--retries N]\n"
               "       kastari-collect status [--db URL] [--problems] [--thresholds FILE]\n"
               "       kastari-collect export [--db URL] --meter NUMBER --archive "
               "hour|day|month|faults|operator|abnormal\n"
               "                              [--channel 1|2] [--from DATE] [--to DATE] [--format text|csv] "
               "--out FILE\n"
               "       kastari-collect report [--db URL] --meter NUMBER [--channel 1|2] --month YYYY-MM "
               "--out FILE.pdf\n"
               "\n"
               "Collects the hour, day and month archives and the journals of every meter in FILE into a\n"
               "database, reading only what is new since the last run.\n"
               "\n") +
           cmdline::helpText(OptionTable, 19) +
           QStringLiteral(
               "\n"
               "status prints per meter the last good collection, the newest stored period of each archive,\n"
               "the periods the meter never recorded (gaps), the last error and the meter's state, worst\n"
               "first. With --problems it prints only the meters not in \"Норма\" and exits as a monitoring\n"
               "plugin: 0 all normal, 1 warnings, 2 critical (no link, fault), 3 the database cannot be "
               "read.\n"
               "--thresholds FILE sets when a meter is in trouble, \"KEY = VALUE\" lines:\n") +
           store::thresholdsHelp() +
           QStringLiteral(
               "export writes one meter's archive or journal as the monitor's export file (text) or as CSV\n"
               "(UTF-8, ISO 8601 times in the meter's clock, one header row); --from and --to\n"
               "(\"dd.mm.yyyy hh:nn\") pick the periods or events starting between them, both included.\n"
               "report makes the consumption report of a month (the day archive of one channel) as a PDF;\n"
               "a month without stored days says so.\n"
               "\n"
               "Exit status: 0 every meter collected; 5 some were not, or only partly (the rest are\n"
               "stored); 1 bad command line or meter list (or an export of a meter not in the database);\n"
               "2 the database cannot be opened (or is not there, for status, export and report, which\n"
               "only read it), or the run cannot be recorded in it; 4 the export or report file cannot\n"
               "be written, or the --trace folder can neither be found nor made.\n");
}

int run(const QStringList& args) {
    cmdline::CommandLine line(OptionTable);
    if (const std::optional<int> answered = line.parseOrAnswer(args, helpText, usage)) return *answered;
    const QStringList positional = line.positional();
    if (positional.size() > 1) return usage(QStringLiteral("unexpected argument %1").arg(positional[1]));
    const QString name = positional.value(0);
    for (const auto& command : Commands)
        if (name == QLatin1String(command.name)) return command.run(line);
    if (name.isEmpty()) return usage(QStringLiteral("no command given"));
    return usage(QStringLiteral("unknown command %1").arg(name));
}

} // namespace collect
