#pragma once
// The parameter report (Param.txt): the register image as 309 readable lines, one parameter per
// line with channel 1's and channel 2's values side by side after "#". Which lines exist depends on
// the work mode and the sensor type the image holds.
#include "device/registerblock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace paramreport {

constexpr int LineCount = 309;

enum class Value {
    None,          // a title, a separator or an empty line: the name is the whole text
    DateTime,      // device time, "dd.mm.yyyy hh:nn:ss"
    Date,          // device time, "dd.mm.yyyy"
    U32,           // decimal
    U16,           // decimal
    S16,           // decimal with its sign
    Byte,          // low byte of the register, decimal
    Item,          // low byte of the register: the text of that item of `items`
    Float,         // register float with `decimals`
    Auto,          // register float through MyFormatFloat
    InnerDiameter, // from the channel block at `reg` and the sensor type
    WindowLength,  // half-sum time at `reg` minus the window start after it
    Counter,       // two floats from `reg` added in double precision
    Total,         // the counters at `reg` and `reg` + 4 added
    State,         // the channel state from the failure and condition bytes
};

struct Line {
    const char* name = ""; // the text before the first "#"
    Value value = Value::None;
    int reg = -1;  // channel 1
    int reg2 = -1; // channel 2; -1: one value only
    int decimals = 2;
    const char* items = nullptr; // the control whose list names a code
};

// The lines of the image's layout, from line 0 on; the report's remaining lines are empty.
std::vector<Line> lines(const RegisterBlock& image);

// The registers a line shows on a channel (1 or 2); none for lines that compute or combine values.
std::vector<int> registersOf(const Line& line, int channel);

// What a line says after its name: "#" and the value of each channel. Nothing when the image does
// not hold what the line needs.
std::optional<QString> valueText(const Line& line, const RegisterBlock& image);

// The report of a register image: always 309 lines. A code that its list has no item for is shown
// as the number.
QStringList FormBuffer(const RegisterBlock& image);

// Param.txt: the meter's identification (as the top status bar shows it), two more heading lines,
// then the report; Windows-1251 with CR LF.
QStringList fileLines(const QString& deviceCaption, const QStringList& report);
QByteArray fileBytes(const QString& deviceCaption, const QStringList& report);

} // namespace paramreport
