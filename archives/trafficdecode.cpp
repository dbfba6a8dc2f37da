#include "archives/trafficdecode.h"

#include "device/encodings.h"
#include "device/identification.h"
#include "device/records.h"
#include "device/registerblock.h"
#include "link/cp1251.h"
#include "link/functioncodes.h"
#include "link/rtuframe.h"

namespace traffic {

namespace {

using namespace modbus;

QString statusText(ReplyStatus status, int exceptionCode) {
    return describe(status, exceptionCode, Wording::Russian);
}

QString completionText(ReplyCompletion c) {
    switch (c) {
    case ReplyCompletion::Silence:
        return QStringLiteral("конец по тишине");
    case ReplyCompletion::Length:
        return QStringLiteral("конец по длине");
    case ReplyCompletion::Gap:
        return QStringLiteral("конец по паузе");
    }
    return {};
}

QString archiveName(int number) {
    static const char* const names[] = {"часовой архив",
                                        "суточный архив",
                                        "месячный архив",
                                        "журнал отказов",
                                        "журнал оператора",
                                        "журнал нештатных ситуаций, канал 1",
                                        "журнал нештатных ситуаций, канал 2"};
    return number >= 0 && number <= 6 ? QString::fromUtf8(names[number])
                                      : QStringLiteral("архив %1").arg(number);
}

int u16At(const QByteArray& frame, int at) {
    return (std::uint8_t(frame[at]) << 8) | std::uint8_t(frame[at + 1]);
}

QString deviceTime(std::uint32_t seconds) {
    return enc::formatDateTime(enc::SecToDate(seconds));
}

// Seven significant digits whatever the magnitude: most register pairs are no float at all, and
// their readings must not fill the pane.
QString floatText(float f) {
    return QString::number(double(f), 'g', 7).replace(u'.', u',');
}

// One line per register: number, hex, u16, s16, and the float that starts at it (with the next).
void registerLines(QStringList& out, const RegisterBlock& block) {
    out << QStringLiteral("Рег.    Hex      u16     s16   float");
    for (int reg = block.first(); reg < block.first() + block.count(); ++reg) {
        const std::uint16_t v = *block.u16(reg);
        const std::optional<float> f = block.f32(reg);
        out << QStringLiteral("%1  %2  %3  %4   %5")
                   .arg(reg, 4)
                   .arg(QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(4, u'0'))
                   .arg(v, 6)
                   .arg(*block.s16(reg), 6)
                   .arg(f ? floatText(*f) : QString());
    }
}

// The request's own fields. frame: the request as sent, CRC included.
void requestLines(QStringList& out, const QByteArray& frame) {
    const int length = int(frame.size()) - 2;
    const int function = length >= 2 ? std::uint8_t(frame[1]) : -1;
    switch (function) {
    case FnReadHolding:
        if (length >= 6)
            out << QStringLiteral("Регистры с %1, количество %2").arg(u16At(frame, 2)).arg(u16At(frame, 4));
        break;
    case FnReadCoils:
        if (length >= 6)
            out << QStringLiteral("Катушки с %1, количество %2").arg(u16At(frame, 2)).arg(u16At(frame, 4));
        break;
    case FnWriteCoil:
        if (length >= 6) {
            const int value = u16At(frame, 4);
            const QString state = value == 0xFF00 ? QStringLiteral("включить")
                                  : value == 0
                                      ? QStringLiteral("выключить")
                                      : QStringLiteral("значение 0x%1").arg(value, 4, 16, QLatin1Char('0'));
            out << QStringLiteral("Катушка %1: %2").arg(u16At(frame, 2)).arg(state);
        }
        break;
    case FnWriteRegister:
        if (length >= 6) registerLines(out, RegisterBlock(u16At(frame, 2), frame.mid(4, 2)));
        break;
    case FnWriteRegisters:
        if (length >= 7) {
            const int bytes = std::min<int>(std::uint8_t(frame[6]), length - 7) & ~1;
            registerLines(out, RegisterBlock(u16At(frame, 2), frame.mid(7, bytes)));
        }
        break;
    case FnReadArchive:
        if (length >= 9) {
            const int archive = std::uint8_t(frame[3]);
            const int count = std::uint8_t(frame[5]);
            QString how;
            if (frame[6] == 1 && length >= 13)
                how = QStringLiteral("по дате: час %1, %2.%3.%4")
                          .arg(std::uint8_t(frame[9]))
                          .arg(std::uint8_t(frame[10]), 2, 10, QLatin1Char('0'))
                          .arg(std::uint8_t(frame[11]), 2, 10, QLatin1Char('0'))
                          .arg(std::uint8_t(frame[12]), 2, 10, QLatin1Char('0'));
            else
                how = QStringLiteral("с записи %1").arg(u16At(frame, 7));
            out << QStringLiteral("%1, записей %2, %3").arg(archiveName(archive)).arg(count).arg(how);
        }
        break;
    default:
        break;
    }
}

// A good reply's data, read in the light of its request.
void replyLines(QStringList& out, const TrafficEntry& e) {
    const QByteArray& frame = e.bytes;
    const QByteArray& request = e.request;
    if (frame.size() < 5) return;
    // What the byte count announces, never more than arrived before the CRC.
    const int dataBytes = std::min<int>(std::uint8_t(frame[2]), int(frame.size()) - 5);
    const QByteArray data = frame.mid(3, dataBytes);
    switch (e.function()) {
    case FnReadHolding:
        if (request.size() >= 4)
            registerLines(out, RegisterBlock(u16At(request, 2), data.left(dataBytes & ~1)));
        break;
    case FnReadCoils:
        if (request.size() >= 6) {
            const int first = u16At(request, 2);
            const int quantity = std::min(u16At(request, 4), 8 * dataBytes);
            QStringList coils;
            for (int i = 0; i < quantity; ++i)
                coils << QStringLiteral("%1: %2").arg(first + i).arg((std::uint8_t(data[i / 8]) >> (i % 8)) &
                                                                     1);
            out << QStringLiteral("Катушки ") + coils.join(QStringLiteral(", "));
        }
        break;
    case FnWriteCoil:
    case FnWriteRegister:
    case FnWriteRegisters:
        out << QStringLiteral("Запись подтверждена");
        break;
    case FnReportSlaveId:
        out << QStringLiteral("Прибор: ") + ident::deviceText(RtuFrame(frame));
        break;
    case FnReadArchive: {
        if (request.size() < 4) break;
        const int archive = std::uint8_t(request[3]);
        int n = 0;
        if (records::isJournal(archive)) {
            for (const JournalEntry& j :
                 records::journalEntries(frame, dataBytes / records::JournalEntrySize))
                out << QStringLiteral("Запись %1: код %2, начало %3, конец %4%5")
                           .arg(++n)
                           .arg(j.code)
                           .arg(j.start ? deviceTime(j.start) : QStringLiteral("нет данных"))
                           .arg(j.end ? deviceTime(j.end) : QStringLiteral("продолжается"))
                           .arg(j.checkOk ? QString() : QStringLiteral(", контрольный байт неверен"));
        } else {
            for (const ArchiveRecord& r :
                 records::archiveRecords(frame, dataBytes / records::ArchiveRecordSize))
                out << QStringLiteral("Запись %1: %2%3")
                           .arg(++n)
                           .arg(deviceTime(r.time))
                           .arg(r.checkOk ? QString() : QStringLiteral(", контрольный байт неверен"));
        }
        if (n == 0) out << QStringLiteral("Записей нет");
        break;
    }
    default:
        break;
    }
}

} // namespace

QString directionText(const TrafficEntry& e) {
    switch (e.direction) {
    case TrafficDirection::Sent:
        return e.modem ? QStringLiteral("команда модему") : QStringLiteral("запрос");
    case TrafficDirection::Received:
        return e.modem ? QStringLiteral("ответ модема") : QStringLiteral("ответ");
    case TrafficDirection::Discarded:
        return QStringLiteral("отброшено");
    case TrafficDirection::Event:
        return QStringLiteral("без ответа");
    }
    return {};
}

QString functionName(int function) {
    switch (function) {
    case FnReadCoils:
        return QStringLiteral("чтение катушек");
    case FnReadHolding:
        return QStringLiteral("чтение регистров");
    case FnWriteCoil:
        return QStringLiteral("запись катушки");
    case FnWriteRegister:
        return QStringLiteral("запись регистра");
    case FnWriteRegisters:
        return QStringLiteral("запись регистров");
    case FnReportSlaveId:
        return QStringLiteral("идентификация");
    case FnReadArchive:
        return QStringLiteral("чтение архива");
    default:
        return {};
    }
}

QString functionText(const TrafficEntry& entry) {
    const int function = entry.function();
    if (function < 0) return {};
    if (function & 0x80) return QStringLiteral("%1 искл.").arg(function & 0x7F);
    return QString::number(function);
}

QString verdictText(const TrafficEntry& e) {
    switch (e.direction) {
    case TrafficDirection::Sent:
        return {};
    case TrafficDirection::Discarded:
        return QStringLiteral("лишние байты отброшены");
    case TrafficDirection::Received:
        if (e.modem) return QStringLiteral("ответ модема");
        return statusText(e.status, e.exceptionCode) + QStringLiteral(", ") + completionText(e.completion);
    case TrafficDirection::Event:
        if (e.status == ReplyStatus::PortError && !e.portError.isEmpty())
            return statusText(e.status, 0) + QStringLiteral(": ") + e.portError;
        return statusText(e.modem ? ReplyStatus::NoReply : e.status, e.exceptionCode);
    }
    return {};
}

QStringList decode(const TrafficEntry& e) {
    QStringList out;
    QString head = directionText(e);
    head[0] = head[0].toUpper();
    if (e.address >= 0) head += QStringLiteral(", адрес %1").arg(e.address);
    const int function = e.function();
    if (function >= 0) {
        const QString name = functionName(function & 0x7F);
        head += QStringLiteral(", функция %1").arg(function & 0x7F);
        if (!name.isEmpty()) head += QStringLiteral(" (%1)").arg(name);
    }
    out << head;
    const QString verdict = verdictText(e);
    if (!verdict.isEmpty())
        out << QStringLiteral("Итог: ") + verdict +
                   (e.replyMs >= 0 ? QStringLiteral(", %1 мс").arg(e.replyMs) : QString());

    if (e.modem) {
        if (!e.bytes.isEmpty())
            out << QStringLiteral("Текст: ") +
                       cp1251::decode(e.bytes).trimmed().replace(u'\r', u' ').replace(u'\n', u' ');
    } else if (e.direction == TrafficDirection::Sent) {
        requestLines(out, e.bytes);
    } else if (e.direction == TrafficDirection::Received) {
        if (e.status == ReplyStatus::Exception)
            out << QStringLiteral("Исключение %1: %2")
                       .arg(e.exceptionCode)
                       .arg(exceptionName(e.exceptionCode, Wording::Russian));
        else if (e.status == ReplyStatus::Ok)
            replyLines(out, e);
    }
    if (!e.bytes.isEmpty()) out << QStringLiteral("Байты (%1): %2").arg(e.bytes.size()).arg(hexText(e.bytes));
    return out;
}

} // namespace traffic
