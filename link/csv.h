#pragma once
// Rows of comma-separated values as spreadsheets read them: the exchange log and the collector's
// export write theirs through this, so a cell is quoted the same way in both.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace csv {

// The text as it stands in a row: in quotes, its own quotes doubled, when it holds a comma, a quote
// or a line break (CR or LF); as it is otherwise, blanks included.
QString field(const QString& text);
// The fields as one row: UTF-8, separated by commas, ended by CR LF.
QByteArray row(const QStringList& fields);

} // namespace csv
