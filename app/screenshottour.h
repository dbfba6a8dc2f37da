#pragma once
// A scripted walk through the window for the documentation: scan, choose the first device, open
// the settings and period dialogs, saving a PNG of each view; then the program ends.
#include <QString>

class TForm1;

// Starts the walk once the event loop runs; every picture goes into dir.
void startScreenshotTour(TForm1& form, const QString& dir);
