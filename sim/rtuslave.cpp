#include "sim/rtuslave.h"

#include "device/records.h"
#include "link/crc16.h"

#include <algorithm>

namespace sim {

RtuSlave::RtuSlave(const SimOptions& options) : m_rng(SeededRandom::mix(options.seed, 0xFA017)) {
    QList<DeviceOptions> devices = options.devices;
    if (devices.isEmpty()) devices.append(DeviceOptions{});
    for (const auto& d : devices)
        m_devices.push_back(std::make_unique<DeviceModel>(d, options.seed, options.startTime,
                                                          options.clockRuns, options.baud));
    for (const auto& d : m_devices)
        d->setClockRate(options.clockRate);
    for (const auto& f : options.faults)
        setFault(f);
}

DeviceModel* RtuSlave::device(int address) const {
    for (const auto& d : m_devices)
        if (d->address() == address) return d.get();
    for (const auto& d : m_devices)
        if (d->options().address == address) return d.get();
    return nullptr;
}

void RtuSlave::setFault(const FaultSpec& fault) {
    for (int i = 0; i < m_faults.size(); ++i) {
        if (m_faults[i].setup.kind == fault.kind && m_faults[i].setup.address == fault.address) {
            m_faults[i] = {fault, 0};
            return;
        }
    }
    if (fault.kind != Fault::None) m_faults.append({fault, 0});
}

QList<FaultSpec> RtuSlave::faults() const {
    QList<FaultSpec> out;
    for (const auto& f : m_faults)
        out.append(f.setup);
    return out;
}

QByteArray RtuSlave::exceptionFrame(int address, int function, int code) {
    QByteArray frame;
    frame += char(address);
    frame += char((function | 0x80) & 0xFF);
    frame += char(code);
    return crc16::appended(frame);
}

ReplyPlan RtuSlave::handle(const QByteArray& request) {
    ReplyPlan plan;
    if (request.size() < 4 || crc16::compute(request) != 0) {
        plan.note = QStringLiteral("ignored: bad CRC");
        return plan;
    }
    const int address = quint8(request[0]);
    if (address == 0) {
        // Every meter carries out a broadcast write, and none answers it.
        for (const auto& d : m_devices)
            d->handle(request);
        plan.note = QStringLiteral("broadcast: no reply");
        return plan;
    }
    DeviceModel* target = nullptr;
    for (const auto& d : m_devices)
        if (d->address() == address) target = d.get();
    if (!target) {
        plan.note = QStringLiteral("no meter at address %1").arg(address);
        return plan;
    }
    const ModelReply reply = target->handle(request);
    if (reply.frame.isEmpty()) {
        plan.note = reply.note;
        return plan;
    }
    // Every fault counts the request, so an "nth" fault stays on schedule whichever fires first.
    const FaultSpec* chosen = nullptr;
    for (auto& f : m_faults)
        if (fires(f, address) && !chosen) chosen = &f.setup;
    if (chosen) return shape(*chosen, request, reply.frame);
    plan.chunks.append({reply.frame, 0});
    plan.note = reply.note;
    return plan;
}

bool RtuSlave::fires(ActiveFault& fault, int address) {
    if (fault.setup.address != 0 && fault.setup.address != address) return false;
    switch (fault.setup.when) {
    case FaultWhen::Always:
        return true;
    case FaultWhen::Nth:
        return ++fault.seen == fault.setup.nth;
    case FaultWhen::Rate:
        return m_rng.uniform() < fault.setup.rate;
    }
    return false;
}

ReplyPlan RtuSlave::shape(const FaultSpec& f, const QByteArray& request, const QByteArray& reply) {
    ReplyPlan plan;
    plan.note = QStringLiteral("fault: ") + faultName(f.kind);
    const int address = quint8(request[0]);
    switch (f.kind) {
    case Fault::None:
        plan.chunks.append({reply, 0});
        break;
    case Fault::Silence:
        break;
    case Fault::BadCrc: {
        QByteArray bad = reply;
        bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x5A);
        plan.chunks.append({bad, 0});
        break;
    }
    case Fault::Chunks: {
        const int size = std::max(1, f.chunkSize);
        for (int i = 0; i < reply.size(); i += size)
            plan.chunks.append({reply.mid(i, size), i == 0 ? 0 : f.chunkGapMs});
        break;
    }
    case Fault::Late:
        plan.chunks.append({reply, std::max(0, f.lateDelayMs)});
        break;
    case Fault::Noise: {
        QByteArray noisy;
        for (int i = 0; i < std::max(1, f.noiseBytes); ++i)
            noisy += char(m_rng.next() & 0xFF);
        plan.chunks.append({noisy + reply, 0});
        break;
    }
    case Fault::Oversize: {
        // A well-formed frame in every respect but its length, so only the length gives it away.
        QByteArray big = reply.left(2);
        big += char(0xFF);
        while (big.size() < std::max(260, f.oversizeBytes) - 2)
            big += char(m_rng.next() & 0xFF);
        plan.chunks.append({crc16::appended(big), 0});
        break;
    }
    case Fault::Exception:
        plan.chunks.append({exceptionFrame(address, quint8(request[1]), f.exceptionCode), 0});
        break;
    case Fault::WrongAddress: {
        int other = f.wrongAddress >= 0 ? f.wrongAddress : address % 247 + 1;
        QByteArray wrong = reply.left(reply.size() - 2);
        wrong[0] = char(other);
        plan.chunks.append({crc16::appended(wrong), 0});
        break;
    }
    case Fault::BadRecord: {
        QByteArray spoilt = reply;
        const int size =
            records::isJournal(quint8(request[3])) ? records::JournalEntrySize : records::ArchiveRecordSize;
        const bool hasRecords = quint8(request[1]) == 65 && quint8(reply[1]) == 65;
        const int count = hasRecords ? (int(reply.size()) - 5) / size : 0;
        if (count > 0) {
            const int checkAt = 3 + (std::clamp(f.badRecord, 1, count) - 1) * size + size - 1;
            spoilt[checkAt] = char(spoilt[checkAt] ^ 0x5A);
            spoilt = crc16::appended(spoilt.left(spoilt.size() - 2));
        }
        plan.chunks.append({spoilt, 0});
        break;
    }
    case Fault::Babble:
        plan.babbleGapMs = std::max(1, f.chunkGapMs);
        break;
    case Fault::ClosePort:
    case Fault::Drop: {
        const int n =
            f.closeAfterBytes >= 0 ? std::min<int>(f.closeAfterBytes, reply.size()) : int(reply.size()) / 2;
        if (n > 0) plan.chunks.append({reply.left(n), 0});
        (f.kind == Fault::Drop ? plan.dropConnection : plan.closePort) = true;
        break;
    }
    }
    return plan;
}

} // namespace sim
