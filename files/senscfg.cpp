#include "files/senscfg.h"

#include "device/encodings.h"
#include "files/textfile.h"
#include "link/cp1251.h"
#include "link/linespeed.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

constexpr int LineCount = 8;

// Lines end with CR LF; a lone LF (a file edited elsewhere) ends a line too. Missing lines read
// as empty, like reading past the end of a text file.
QStringList splitLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r')) line.chop(1);
    while (lines.size() < LineCount)
        lines.append(QString());
    return lines;
}

// A speed must stand before the ",n,8,1" tail: the engine and the settings dialog read it there.
bool settingsUsable(const QString& settings) {
    return settings.size() > linespeed::TailLength && linespeed::of(settings) > 0;
}

} // namespace

void SensLoad::applyTo(SensConfig& config) const {
    LinkSettings& link = config.link;
    if (rtsMode) link.RtsMode = *rtsMode;
    if (useModem) link.UseModem = *useModem;
    if (modemInitString) link.ModemInitString = *modemInitString;
    if (dialPrefix) link.DialPrefix = *dialPrefix;
    if (phoneNumber) link.PhoneNumber = *phoneNumber;
    if (modemDelay) link.ModemDelay = *modemDelay;
    if (commPort) link.CommPort = *commPort;
    if (settings) link.Settings = *settings;
    if (pollMs) config.pollMs = *pollMs;
}

namespace senscfg {

SensLoad parse(const QByteArray& bytes) {
    SensLoad load;
    const QStringList lines = splitLines(cp1251::decode(bytes));

    // Anything but exactly "True" is false: that is how files written by older versions read.
    load.rtsMode = lines[2] == QLatin1String("True");
    load.useModem = lines[3] == QLatin1String("True");
    load.modemInitString = lines[4];
    load.dialPrefix = lines[5];
    load.phoneNumber = lines[6];
    load.modemDelay = enc::parseInt(lines[7]);
    if (!load.modemDelay) {
        load.error = enc::integerConversionError(lines[7]);
        return load;
    }

    // Line 1 by position: the port digit, one separator character, the settings text.
    const QString& first = lines[0];
    const std::optional<int> port = enc::parseInt(first.left(1));
    if (!port || *port < 1) {
        load.error = enc::integerConversionError(first.left(1));
        return load;
    }
    load.commPort = port;
    const QString settings = first.mid(2);
    if (!settingsUsable(settings)) {
        load.error = QStringLiteral("Invalid property value: '%1'").arg(settings);
        return load;
    }
    load.settings = settings;

    const std::optional<int> poll = enc::parseInt(lines[1]);
    if (!poll || *poll < 0) {
        load.error = enc::integerConversionError(lines[1]);
        return load;
    }
    load.pollMs = poll;
    return load;
}

SensLoad read(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        SensLoad load;
        load.missing = true;
        load.error = QStringLiteral("Файл %1 не найден").arg(QFileInfo(path).fileName());
        return load;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        SensLoad load;
        load.error = QStringLiteral("I/O error: %1").arg(file.errorString());
        return load;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        SensLoad load;
        load.error = QStringLiteral("I/O error: %1").arg(file.errorString());
        return load;
    }
    return parse(bytes);
}

QByteArray format(const SensConfig& config) {
    const LinkSettings& link = config.link;
    const QStringList lines{
        QString::number(link.CommPort) + u' ' + link.Settings,
        QString::number(config.pollMs),
        link.RtsMode ? QStringLiteral("True") : QStringLiteral("False"),
        link.UseModem ? QStringLiteral("True") : QStringLiteral("False"),
        link.ModemInitString,
        link.DialPrefix,
        link.PhoneNumber,
        QString::number(link.ModemDelay),
    };
    return textfile::encodeJoined(lines);
}

bool write(const QString& path, const SensConfig& config, QString* error) {
    QString reason;
    if (textfile::write(path, format(config), &reason)) return true;
    if (error) *error = QStringLiteral("I/O error: %1").arg(reason);
    return false;
}

} // namespace senscfg
