#pragma once
// kastari-cli --trace FILE: every frame of the run, in the CSV the monitor's exchange log saves,
// written as it happens so that an interrupted run keeps what it did.
#include "link/trafficrecorder.h"

#include <QFile>
#include <QString>

class TModBus;

namespace cli {

class Trace {
  public:
    // Creates the file (replacing one of that name) with its header; false and the reason when it
    // cannot be written.
    bool open(const QString& path, QString* error);
    // Logs the engine's exchanges from now on (nothing when no file was opened).
    void attach(TModBus& engine);
    // The run's exit status, made a file error when the trace could not be written in full.
    int finish(int status);

  private:
    QFile m_file;
    // Rows go to the file as they come: the ring needs to hold none of them.
    TrafficRecorder m_recorder{1};
};

} // namespace cli
