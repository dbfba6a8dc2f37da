#pragma once
// The application's standard error box: what an unexpected run-time error (an unreadable file, a
// number that does not convert) shows before the handler that met it stops.
#include <QString>
#include <optional>

class QWidget;

// The message, ended with a period, under the program's title, with a stop sign and an OK button.
void showApplicationError(QWidget* parent, const QString& message);

// Parses an integer the way dialog fields are read; on failure shows the conversion error box
// and returns nothing.
std::optional<int> integerOrError(QWidget* parent, const QString& text);
