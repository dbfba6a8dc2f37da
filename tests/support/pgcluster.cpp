#include "pgcluster.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <unistd.h>

namespace {

// Debian keeps the server's programs out of PATH, one folder per major version.
QString serverBinaries() {
    QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(),
              [&](const QString& a, const QString& b) { return numeric.compare(a, b) > 0; });
    for (const QString& v : versions) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
        if (QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable()) return bin;
    }
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
}

int freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

} // namespace

bool PgCluster::run(const QStringList& command, QString* output) const {
    QStringList args = command;
    QString program = m_bin + u'/' + args.takeFirst();
    if (geteuid() == 0) {
        args = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} +
               args;
        program = QStringLiteral("runuser");
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    p.start(program, args);
    const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output) *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

std::unique_ptr<PgCluster> PgCluster::start(QString* why, bool* installed) {
    std::unique_ptr<PgCluster> c(new PgCluster);
    c->m_bin = serverBinaries();
    *installed = !c->m_bin.isEmpty();
    if (!*installed) {
        *why = QStringLiteral(
            "PostgreSQL's initdb and pg_ctl are not installed (Debian: apt-get install postgresql)");
        return nullptr;
    }
    if (!c->m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return nullptr;
    }
    const QString dir = c->m_dir.path();
    // The folder is root's: postgres must own the data folder it makes in it.
    if (geteuid() == 0) QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:"), dir});
    QString out;
    if (!c->run({QStringLiteral("initdb"), QStringLiteral("-D"), dir + QStringLiteral("/data"),
                 QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                 QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                 QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                &out)) {
        *why = QStringLiteral("initdb failed: ") + out;
        return nullptr;
    }
    for (int attempt = 0; attempt < 5 && !c->m_running; ++attempt) {
        c->m_port = freePort();
        const QString options =
            QStringLiteral("-c listen_addresses=127.0.0.1 -p %1 -c unix_socket_directories=%2"
                           " -c fsync=off -c full_page_writes=off -c synchronous_commit=off")
                .arg(c->m_port)
                .arg(dir);
        c->m_running =
            c->run({QStringLiteral("pg_ctl"), QStringLiteral("-D"), dir + QStringLiteral("/data"),
                    QStringLiteral("-o"), options, QStringLiteral("-l"), dir + QStringLiteral("/server.log"),
                    QStringLiteral("-w"), QStringLiteral("start")},
                   &out);
    }
    if (!c->m_running) {
        QFile log(dir + QStringLiteral("/server.log"));
        log.open(QIODevice::ReadOnly);
        *why = QStringLiteral("the server would not start: ") + out + QString::fromLocal8Bit(log.readAll());
        return nullptr;
    }
    return c;
}

PgCluster::~PgCluster() {
    if (m_running)
        run({QStringLiteral("pg_ctl"), QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"),
             QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
             QStringLiteral("stop")});
}

QString PgCluster::createDatabase() {
    const QString name = QStringLiteral("kastari_test_%1").arg(++m_databases);
    run({QStringLiteral("createdb"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
         QString::number(m_port), QStringLiteral("-U"), QStringLiteral("postgres"), name});
    return name;
}

QString PgCluster::url(const QString& database) const {
    return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(database);
}
