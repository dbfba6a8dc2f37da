#include "store/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace store {

Transaction::Transaction(QSqlDatabase& db) : m_db(db) {
    QSqlQuery q(m_db);
    m_open =
        q.exec(m_db.driverName() == u"QPSQL" ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    if (!m_open) m_beginError = q.lastError().text();
}

Transaction::~Transaction() {
    // After a failed statement PostgreSQL refuses everything but the rollback; SQLite keeps a
    // transaction whose COMMIT failed (a busy file) open until it is rolled back.
    if (m_open) QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
}

bool Transaction::begun(QString* error) const {
    if (!m_open && error) *error = m_beginError;
    return m_open;
}

bool Transaction::commit(QString* error) {
    if (!begun(error)) return false;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("COMMIT"))) {
        if (error) *error = q.lastError().text();
        return false;
    }
    m_open = false;
    return true;
}

} // namespace store
