#pragma once
// Renders each small dialog, filled with sample content, to a PNG file in a folder, so that the
// widgets test can check every caption fits and a person can look at them.
#include <QString>
#include <QStringList>

// Returns the files written (form3-scan.png, form4-settings.png, ...).
QStringList saveDialogScreenshots(const QString& dir);
