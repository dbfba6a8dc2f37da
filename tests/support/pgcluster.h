#pragma once
// A throwaway PostgreSQL server for tests: initdb in a temporary folder, the server on 127.0.0.1
// at a free port (and its socket in that folder), stopped and removed when the object goes. As
// root the server runs as the postgres system user, since it refuses to run as root.
#include <QString>
#include <QTemporaryDir>
#include <memory>

class PgCluster {
  public:
    // Nothing, with *why saying so, when the server's programs are not installed or it would not
    // start.
    static std::unique_ptr<PgCluster> start(QString* why, bool* installed);
    ~PgCluster();

    int port() const { return m_port; }
    // A new empty database; its name.
    QString createDatabase();
    QString url(const QString& database) const;

  private:
    PgCluster() = default;
    bool run(const QStringList& command, QString* output = nullptr) const;
    QString m_bin;
    QTemporaryDir m_dir;
    int m_port = 0;
    int m_databases = 0;
    bool m_running = false;
};
