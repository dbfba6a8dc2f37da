#pragma once
// Building kastari-web's pages: escaping, the frame every page shares, and the charts drawn as
// SVG by the program (no script and no file from elsewhere).
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace web::html {

// Text for an element or a quoted attribute: & < > " ' become entities.
QString escape(const QString& text);
// Each text so.
QStringList escape(const QStringList& texts);

// A whole page: title, the shared style, the navigation (with a logout button when `user` is
// given) and the body.
QByteArray page(const QString& title, const QString& body, const QString& user = {});

// A table whose cells are already escaped HTML; `rowClasses` (one per row, may be empty) style
// rows.
QString table(const QStringList& heading, const QList<QStringList>& rows, const QStringList& rowClasses = {},
              const QString& id = {});

struct Bar {
    enum class State { Value, NotRecorded, Unread };
    QString label; // under the bar: a day or an hour
    State state = State::Unread;
    double plus = 0, minus = 0;
};
// Bars of "+" upwards and "−" downwards; periods the meter did not record hatched, periods not
// read (or not yet stored) outlined, so neither looks like a zero.
QString chart(const QString& title, const QList<Bar>& bars);

} // namespace web::html
