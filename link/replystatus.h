#pragma once
// Why a reply is or is not usable as the answer to the request just sent, and its wording: the
// English kastari-cli prints and the Russian of the exchange log, one row per verdict.
#include <QString>

enum class ReplyStatus {
    Ok,
    NoReply,       // nothing arrived
    PortError,     // the port could not be opened
    Refused,       // the request does not fit a frame and was not sent
    Overflow,      // more than the buffer holds
    LineNoise,     // bytes kept coming past the longest time a reply can take
    CrcError,      // bytes arrived but the frame does not check
    Exception,     // a well-formed exception reply (code in exceptionCode())
    WrongAddress,  // a good frame from another device
    WrongFunction, // a good frame answering another function
    WrongLength,   // a good frame whose length or byte count does not fit the request
    WrongEcho,     // a write confirmation naming another register, coil, value or count
    LinkLost,      // the port or the connection went away in the middle of the reply
};

enum class Wording { English, Russian };

// The verdict as a line of text; an exception names its code.
QString describe(ReplyStatus status, int exceptionCode = 0, Wording wording = Wording::English);
// The standard name of a ModBus exception code.
QString exceptionName(int code, Wording wording = Wording::English);
