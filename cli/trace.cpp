#include "cli/trace.h"

#include "cli/commands.h"

#include <QTextStream>

namespace cli {

bool Trace::open(const QString& path, QString* error) {
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate) || m_file.write(traffic::csvHeader()) < 0) {
        *error = m_file.errorString();
        return false;
    }
    m_recorder.onEntry = [this](const TrafficEntry& e) {
        m_file.write(traffic::csvRow(e));
        m_file.flush();
    };
    return true;
}

void Trace::attach(TModBus& engine) {
    if (m_file.isOpen()) m_recorder.attach(engine);
}

int Trace::finish(int status) {
    if (!m_file.isOpen()) return status;
    m_recorder.flush();
    m_file.close();
    if (m_file.error() == QFileDevice::NoError) return status;
    err() << "trace file not written in full: " << m_file.errorString() << "\n";
    err().flush();
    return status == ExitOk ? ExitFile : status;
}

} // namespace cli
