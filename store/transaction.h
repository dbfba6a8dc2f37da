#pragma once
// One write transaction on a connection: begun when made, committed only when told, rolled back on
// every other way out of its scope, so no early return leaves a transaction open.
#include <QSqlDatabase>
#include <QString>

namespace store {

class Transaction {
  public:
    // SQLite's BEGIN IMMEDIATE takes the write lock at once: two writers wait their turn at the
    // start instead of one failing when it first writes after reading. PostgreSQL's rows lock as
    // they are written.
    explicit Transaction(QSqlDatabase& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // False when BEGIN failed, *error then saying why: nothing is to be written.
    bool begun(QString* error) const;
    // False when COMMIT failed, *error then saying why; nothing of it is kept.
    bool commit(QString* error);

  private:
    QSqlDatabase& m_db;
    QString m_beginError{};
    bool m_open = false;
};

} // namespace store
