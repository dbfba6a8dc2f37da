#pragma once
// Golden frames in tests are written as hex text, spaces allowed, never produced by the code under test.
#include <QByteArray>
#include <QString>

inline QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QString toHex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' '));
}
