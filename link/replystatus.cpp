#include "link/replystatus.h"

#include <iterator>

namespace {

struct StatusText {
    ReplyStatus status;
    const char* english;
    const char* russian;
};

// An exception's row takes its code (%1) and name (%2).
constexpr StatusText kStatusTexts[] = {
    {ReplyStatus::Ok, "ok", "норма"},
    {ReplyStatus::NoReply, "no reply", "нет ответа"},
    {ReplyStatus::PortError, "port cannot be opened", "порт не открывается"},
    {ReplyStatus::Refused, "request does not fit a frame, not sent", "запрос не отправлен"},
    {ReplyStatus::Overflow, "reply longer than 256 bytes", "ответ длиннее 256 байт"},
    {ReplyStatus::LineNoise, "line noise", "помехи на линии"},
    {ReplyStatus::CrcError, "CRC error", "ошибка CRC"},
    {ReplyStatus::Exception, "exception %1 (%2)", "исключение %1: %2"},
    {ReplyStatus::WrongAddress, "reply from another address", "ответ с другого адреса"},
    {ReplyStatus::WrongFunction, "reply to another function", "ответ на другую функцию"},
    {ReplyStatus::WrongLength, "reply of unexpected length", "неверная длина ответа"},
    {ReplyStatus::WrongEcho, "echo differs from the request", "подтверждение не совпадает с запросом"},
    {ReplyStatus::LinkLost, "link lost during the reply", "связь потеряна во время ответа"},
};

struct ExceptionText {
    const char* english;
    const char* russian;
};

// Codes 1 to 8 of the ModBus application protocol.
constexpr ExceptionText kExceptionTexts[] = {
    {"illegal function", "недопустимая функция"},
    {"illegal data address", "недопустимый адрес данных"},
    {"illegal data value", "недопустимое значение"},
    {"slave device failure", "отказ устройства"},
    {"acknowledge", "запрос принят, выполняется"},
    {"slave device busy", "устройство занято"},
    {"negative acknowledge", "отрицательное подтверждение"},
    {"memory parity error", "ошибка чётности памяти"},
};

QString pick(const char* english, const char* russian, Wording wording) {
    return QString::fromUtf8(wording == Wording::Russian ? russian : english);
}

} // namespace

QString exceptionName(int code, Wording wording) {
    constexpr int known = int(std::size(kExceptionTexts));
    if (code < 1 || code > known) return pick("unknown", "неизвестное исключение", wording);
    return pick(kExceptionTexts[code - 1].english, kExceptionTexts[code - 1].russian, wording);
}

QString describe(ReplyStatus status, int exceptionCode, Wording wording) {
    for (const StatusText& row : kStatusTexts) {
        if (row.status != status) continue;
        const QString text = pick(row.english, row.russian, wording);
        return status == ReplyStatus::Exception
                   ? text.arg(exceptionCode).arg(exceptionName(exceptionCode, wording))
                   : text;
    }
    return {};
}
