#include "link/csv.h"

namespace csv {

QString field(const QString& text) {
    // A bare CR ends a row for a spreadsheet as surely as LF does.
    const bool plain =
        !text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r');
    if (plain) return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QByteArray row(const QStringList& fields) {
    QStringList cells;
    cells.reserve(fields.size());
    for (const QString& f : fields)
        cells << field(f);
    return cells.join(u',').toUtf8() + "\r\n";
}

} // namespace csv
