#pragma once
// The documentation's pictures: a scripted walk through the monitor's real windows (scan, the
// chosen meter's views, their dialogs, the service windows), saving a PNG of each; then the
// program ends. It drives the windows as an operator would, by their object names.
#include <QString>

class TForm1;

// Starts the walk once the event loop runs; every picture goes into dir.
void startScreenshotTour(TForm1& form, const QString& dir);
