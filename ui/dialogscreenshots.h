#pragma once
// Renders each small dialog, filled with sample content, to a PNG file in a folder (for the
// screenshots script and for checking by eye that every caption fits).
#include <QString>
#include <QStringList>

// Returns the files written (form3-scan.png, form4-settings.png, ...).
QStringList saveDialogScreenshots(const QString& dir);
