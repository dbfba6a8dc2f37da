#pragma once
// A request frame as a short text for test expectations: r<first>+<count> (function 3),
// w<reg>=<value> (6), W<first>:<count>=<hex data> (16), c<coil>=<0|1> (5), rc<first>+<count> (1);
// anything else as hex.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

inline QString requestText(const QByteArray& f) {
    auto word = [&f](int i) { return (quint8(f[i]) << 8) | quint8(f[i + 1]); };
    if (f.size() >= 8 && f[1] == 3) return QStringLiteral("r%1+%2").arg(word(2)).arg(word(4));
    if (f.size() >= 8 && f[1] == 6) return QStringLiteral("w%1=%2").arg(word(2)).arg(word(4));
    if (f.size() >= 9 && f[1] == 16)
        return QStringLiteral("W%1:%2=%3")
            .arg(word(2))
            .arg(word(4))
            .arg(QString::fromLatin1(f.mid(7, f[6]).toHex()));
    if (f.size() >= 8 && f[1] == 1) return QStringLiteral("rc%1+%2").arg(word(2)).arg(word(4));
    if (f.size() >= 8 && f[1] == 5) return QStringLiteral("c%1=%2").arg(word(2)).arg(word(4) ? 1 : 0);
    return QString::fromLatin1(f.toHex(' '));
}

inline QStringList requestTexts(const QList<QByteArray>& frames) {
    QStringList out;
    for (const QByteArray& f : frames)
        out << requestText(f);
    return out;
}
