#pragma once
// Who a reading came from, taken when it was read. Files, folders, headings and titles made from the
// reading name this meter; the meter chosen when the operator saves may be another one.
#include "device/identification.h"

#include <QDateTime>
#include <QString>

struct MeterIdentity {
    QString number;     // the electronic number (registers 8-9) in decimal; empty when it was not told
    QString deviceText; // the identification texts (report slave id)
    int address = 0;
    QString line;     // the port, as a meter list names it
    QDateTime readAt; // when the reading began, on the computer's clock
    int choice = 0;   // the window's count of meter choices when it was read

    // "<device text> адрес: <address>", as the window names the chosen meter; empty while its
    // texts are unknown.
    QString caption() const {
        return deviceText.isEmpty() ? QString() : ident::entryText(deviceText, address);
    }
    // The identification texts of a caption made by caption() (or shown by the window).
    static QString deviceTextOf(const QString& caption) {
        const qsizetype at = caption.lastIndexOf(QStringLiteral(" адрес: "));
        return at < 0 ? caption : caption.left(at);
    }
};
