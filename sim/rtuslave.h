#pragma once
// The ModBus RTU slave side of the line: hands each request frame to the meter it addresses (all
// meters for a broadcast), keeps silent where a device would, and shapes replies by the faults
// asked for. No I/O: it says what to send and when.
#include "sim/devicemodel.h"
#include "sim/replyplan.h"
#include "sim/seededrandom.h"
#include "sim/simoptions.h"

#include <memory>
#include <vector>

namespace sim {

class RtuSlave {
  public:
    explicit RtuSlave(const SimOptions& options);

    ReplyPlan handle(const QByteArray& request);

    // By the address the meter answers to now, else by the address it was configured with.
    DeviceModel* device(int address) const;
    const std::vector<std::unique_ptr<DeviceModel>>& devices() const { return m_devices; }

    void setFault(const FaultSpec& fault);
    void clearFaults() { m_faults.clear(); }
    QList<FaultSpec> faults() const;

    static QByteArray exceptionFrame(int address, int function, int code);

  private:
    struct ActiveFault {
        FaultSpec setup;
        int seen = 0; // matching requests since the fault was set
    };
    bool fires(ActiveFault& fault, int address);
    ReplyPlan shape(const FaultSpec& fault, const QByteArray& request, const QByteArray& reply);

    std::vector<std::unique_ptr<DeviceModel>> m_devices;
    QList<ActiveFault> m_faults;
    SeededRandom m_rng;
};

} // namespace sim
