#include "sim/devicemodel.h"

#include "device/encodings.h"
#include "link/cp1251.h"
#include "link/crc16.h"
#include "sim/seededrandom.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace sim {

namespace {
constexpr qint64 Step = 900; // integration step; divides hours, so period ends fall on steps
constexpr double Pi = 3.14159265358979;
// While the signal imitator (coil 3) is connected the meter measures its fixed test flows.
constexpr double ImitatorFlow[2] = {12.5, 6.25};

quint8 byteAt(const QByteArray& b, int i) {
    return quint8(b[i]);
}
quint16 wordAt(const QByteArray& b, int i) {
    return enc::u16(reinterpret_cast<const std::uint8_t*>(b.constData()) + i);
}
int speedCode(int baud) {
    static const int speeds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400};
    for (int i = 0; i < 8; ++i)
        if (speeds[i] == baud) return i + 2;
    return 7;
}
qint64 clampTime(qint64 t) {
    return std::clamp<qint64>(t, 0, 0xFFFFFFFFll);
}
} // namespace

namespace {
qint64 resolveStart(quint32 startTime) {
    // A meter is set by its operator to the local wall clock, so that is where ours starts.
    return startTime ? qint64(startTime) : qint64(enc::DateToSec(QDateTime::currentDateTime()));
}
qint64 historyStartFor(qint64 start) {
    return ArchiveStore::periodStart(ArchiveKind::Month,
                                     ArchiveStore::periodOf(ArchiveKind::Month, start) - 26);
}
} // namespace

DeviceModel::DeviceModel(const DeviceOptions& options, quint32 seed, quint32 startTime, bool clockRuns,
                         int baud)
    : m_options(options), m_seed(seed), m_clockBase(resolveStart(startTime)), m_clockRuns(clockRuns),
      m_history(seed, options.address, historyStartFor(m_clockBase), m_clockBase),
      m_journals{JournalStore(JournalCapacity[0]), JournalStore(JournalCapacity[1]),
                 JournalStore(JournalCapacity[2]), JournalStore(JournalCapacity[3])} {
    const qint64 start = m_clockBase;
    m_elapsed.start();
    applyFactoryDefaults();
    m_regs[13] = quint16(speedCode(baud));

    // Replay the meter's past, from 26 months back up to the start, so every archive is full.
    m_t = historyStartFor(start);
    for (int ch = 0; ch < 2; ++ch) {
        m_volume[ch][0] = m_history.initialVolume[ch][0];
        m_volume[ch][1] = m_history.initialVolume[ch][1];
        m_downtime[ch] = m_history.initialDowntime[ch];
    }
    for (const auto& o : m_history.outages)
        m_planTimes.insert(m_planTimes.end(), {o.start, o.end});
    for (const auto& list : m_history.noSignal)
        for (const auto& s : list)
            m_planTimes.insert(m_planTimes.end(), {s.start, s.end});
    std::sort(m_planTimes.begin(), m_planTimes.end());
    m_replaying = true;
    integrateTo(start);
    m_replaying = false;
    m_planTimes.clear();
    m_planTimes.shrink_to_fit();
    refreshLive();

    if (m_options.failureByte >= 0) setHolding(252, quint16(m_options.failureByte & 0xFF));
    for (int ch = 0; ch < 2; ++ch)
        if (m_options.conditionByte[ch] >= 0)
            setHolding(254 + ch, quint16(m_options.conditionByte[ch] & 0xFF));
}

namespace {

// A register's factory value: a word, or a float over it and the next.
enum class As { Word, Float };
struct Preset {
    int reg;
    As as;
    float value;
};
struct ChannelPreset {
    int offset; // from the channel's base
    As as;
    float value[2];
};

// The system block (a word's value is a small whole number, which a float holds exactly). The
// number, the date of making, the address, the work mode and the sensor type are each meter's own.
// clang-format off
constexpr Preset SystemPresets[] = {
    {2, As::Word, 120}, {3, As::Word, 40}, {4, As::Word, 112}, {5, As::Word, 38}, {6, As::Word, 176},
    {7, As::Word, 181},
    {13, As::Word, 7}, // 9600 until the line says otherwise
    {18, As::Word, 10}, {19, As::Float, 20.0f},
    {21, As::Word, 1}, {22, As::Word, 50}, {23, As::Word, 50}, {24, As::Float, 0.0f},
    {31, As::Float, 0.1f}, {33, As::Word, 10}, {34, As::Float, 0.01f},
};

constexpr ChannelPreset ChannelPresets[] = {
    // Circumference, wall, outer diameter, axial base.
    {0, As::Float, {688.0f, 499.5f}}, {2, As::Float, {6.0f, 4.5f}},
    {4, As::Float, {float(688.0 / Pi), float(499.5 / Pi)}}, {6, As::Float, {152.0f, 118.0f}},
    {8, As::Float, {0.1f, 0.1f}}, {10, As::Float, {5.0f, 5.0f}}, {12, As::Float, {1.0f, 1.0f}},
    {14, As::Float, {1.0f, 1.0f}},
    // Time-difference offset, additional delay.
    {16, As::Float, {0.0125f, -0.0083f}}, {18, As::Float, {4.5f, 4.2f}},
    {20, As::Float, {1.006f, 1.006f}}, {24, As::Float, {0.05f, 0.05f}}, {26, As::Float, {0.01f, 0.01f}},
    {28, As::Float, {0.0f, 0.0f}}, {30, As::Float, {2.7f, 2.7f}},
    // Device base, the U-bend's inner diameter and axial base, the upper and lower set points.
    {32, As::Float, {250.0f, 200.0f}}, {34, As::Float, {50.0f, 40.0f}}, {36, As::Float, {120.0f, 100.0f}},
    {38, As::Float, {40.0f, 30.0f}}, {40, As::Float, {0.0f, 0.3f}},
    // The window shift (signed), then the channel's byte settings.
    {42, As::Word, {3, -2}}, {44, As::Word, {0x30, 0x30}}, {46, As::Word, {0, 0}}, {47, As::Word, {1, 0}},
    {48, As::Word, {1, 1}}, {49, As::Word, {1, 1}}, {50, As::Word, {0, 1}}, {51, As::Word, {0, 0}},
    {52, As::Word, {10, 10}},
    // The path's flight time at the liquid's sound speed is the half-sum time without the delay, so
    // a calibration at that speed gives the meter's own delay back.
    {65, As::Float, {267.7f, 202.2f}},
    {71, As::Word, {4, 4}}, {73, As::Float, {100.0f, 100.0f}},
};
// clang-format on

} // namespace

void DeviceModel::applyFactoryDefaults() {
    m_regs.fill(0);
    const auto put = [this](int reg, As as, float value) {
        if (as == As::Float)
            setFloatRaw(reg, value);
        else
            m_regs[reg] = quint16(qint16(value));
    };
    for (const Preset& p : SystemPresets)
        put(p.reg, p.as, p.value);
    SeededRandom rng(SeededRandom::mix(m_seed, std::uint64_t(m_options.address), 0xE1));
    quint32 number = m_options.electronicNumber;
    if (number == 0) number = quint32(100000 + rng.next() % 900000);
    m_regs[8] = quint16(number >> 16);
    m_regs[9] = quint16(number & 0xFFFF);
    const qint64 made = (qint64(m_clockBase) - rng.range(400, 2000) * 86400) / 86400 * 86400;
    m_regs[10] = quint16(quint32(clampTime(made)) >> 16);
    m_regs[11] = quint16(quint32(clampTime(made)) & 0xFFFF);
    m_regs[12] = quint16(m_options.address & 0xFF);
    m_regs[15] = quint16(m_options.workMode);
    m_regs[17] = quint16(m_options.sensorType);
    for (int ch = 0; ch < 2; ++ch)
        for (const ChannelPreset& p : ChannelPresets)
            put(channelBase(ch) + p.offset, p.as, p.value[ch]);
    m_regs[96] = quint16(m_options.channelMode);
    m_regs[114] = 0;
    applyInstallationDefaults();
}

int DeviceModel::address() const {
    return m_regs[12] & 0xFF;
}

QString DeviceModel::idText1() const {
    return m_options.idText1.isEmpty() ? DeviceOptions::defaultIdText1() : m_options.idText1;
}
QString DeviceModel::idText2() const {
    return m_options.idText2.isEmpty() ? DeviceOptions::defaultIdText2() : m_options.idText2;
}

bool DeviceModel::isWritable(int reg) {
    // What the meter lets a master change: the system block with its command registers, the
    // verification block, both channel blocks (with register 96 inside the first) and register 114.
    // The pulse weights of the frequency output, the measurements and the rest are its own.
    return (reg >= 0 && reg <= 107) || reg == 114 || (reg >= 119 && reg <= 190);
}

bool DeviceModel::isLive(int reg) {
    return reg == 0 || reg == 1 || (reg >= 202 && reg <= 255);
}

// ---------------------------------------------------------------------------------------------
// Direct access

quint16 DeviceModel::holding(int reg) {
    if (reg < 0 || reg >= RegisterCount) return 0;
    sync();
    return m_regs[reg];
}

void DeviceModel::setHolding(int reg, quint16 value) {
    if (reg < 0 || reg >= RegisterCount) return;
    sync();
    if (reg == 0 || reg == 1) {
        const quint32 t = reg == 0 ? (quint32(value) << 16) | m_regs[1] : (quint32(m_regs[0]) << 16) | value;
        setDeviceTime(t, false);
        return;
    }
    m_regs[reg] = value;
    if (isLive(reg)) m_pinned.set(reg);
}

float DeviceModel::holdingFloat(int reg) {
    if (reg < 0 || reg + 1 >= RegisterCount) return 0;
    sync();
    return floatRaw(reg);
}

void DeviceModel::setHoldingFloat(int reg, float value) {
    const quint32 bits = std::bit_cast<quint32>(value);
    setHolding(reg, quint16(bits >> 16));
    setHolding(reg + 1, quint16(bits & 0xFFFF));
}

bool DeviceModel::coil(int coil) const {
    return coil >= 0 && coil < CoilCount && m_coils.test(coil);
}

void DeviceModel::setCoil(int coil, bool on) {
    if (coil < 0 || coil >= CoilCount) return;
    sync(); // the flow changes with the imitator from now on, not retroactively
    m_coils.set(coil, on);
    refreshLive();
}

quint32 DeviceModel::deviceTime() const {
    return quint32(clampTime(now()));
}

void DeviceModel::setDeviceTime(quint32 time, bool logged) {
    sync();
    const quint32 old = deviceTime();
    m_clockBase = qint64(time) - (m_clockRuns ? m_elapsed.elapsed() * m_clockRate / 1000 : 0);
    // A clock set is a jump: the counters are not run through the skipped (or repeated) time.
    m_t = time;
    if (logged) m_journals[1].add({1, old, time});
    refreshLive();
}

void DeviceModel::setClockRate(int rate) {
    const qint64 at = now();
    m_clockRate = std::max(1, rate);
    m_clockBase = at - (m_clockRuns ? m_elapsed.elapsed() * m_clockRate / 1000 : 0);
}

void DeviceModel::advanceClock(qint64 seconds) {
    if (seconds >= 0) {
        m_clockBase += seconds;
        sync();
    } else {
        setDeviceTime(quint32(clampTime(now() + seconds)), false);
    }
}

double DeviceModel::volume(int channel, int reverse) {
    sync();
    return m_volume[channel & 1][reverse ? 1 : 0];
}

double DeviceModel::downtime(int channel) {
    sync();
    return m_downtime[channel & 1];
}

std::optional<ArchiveRecord> DeviceModel::archiveRecord(ArchiveKind kind, qint64 time) {
    sync();
    const auto& r = m_archives.forPeriod(kind, ArchiveStore::periodOf(kind, time));
    if (r.time == 0 || !ArchiveStore::samePeriod(kind, r.time, time)) return std::nullopt;
    return r;
}

QList<JournalEntry> DeviceModel::journal(int index) {
    sync();
    if (index < 0 || index > 3) return {};
    return m_journals[index].entries();
}

// ---------------------------------------------------------------------------------------------
// Registers

void DeviceModel::setFloatRaw(int reg, float value) {
    const quint32 bits = std::bit_cast<quint32>(value);
    m_regs[reg] = quint16(bits >> 16);
    m_regs[reg + 1] = quint16(bits & 0xFFFF);
}

float DeviceModel::floatRaw(int reg) const {
    return std::bit_cast<float>((quint32(m_regs[reg]) << 16) | m_regs[reg + 1]);
}

void DeviceModel::putLive(int reg, quint16 value) {
    if (!m_pinned.test(reg)) m_regs[reg] = value;
}

void DeviceModel::putLiveFloat(int reg, float value) {
    const quint32 bits = std::bit_cast<quint32>(value);
    putLive(reg, quint16(bits >> 16));
    putLive(reg + 1, quint16(bits & 0xFFFF));
}

bool DeviceModel::channelEnabled(int channel) const {
    return (m_regs[channelBase(channel) + 48] & 0xFF) != 0;
}

double DeviceModel::internalDiameter(int channel) const {
    const int b = channelBase(channel);
    if ((m_regs[17] & 0xFF) == 2) return floatRaw(b + 34);
    return floatRaw(b + 0) / Pi - 2.0 * floatRaw(b + 2);
}

double DeviceModel::effectiveFlow(int channel, double t) const {
    double q = m_coils.test(3) ? ImitatorFlow[channel] : m_history.flow(channel, t);
    // Transducers mounted the other way round: the meter swaps the directions.
    if ((m_regs[channelBase(channel) + 46] & 0xFF) == 1) q = -q;
    return q;
}

void DeviceModel::refreshLive() {
    const qint64 t = now();
    const quint32 dt = quint32(clampTime(t));
    putLive(0, quint16(dt >> 16));
    putLive(1, quint16(dt & 0xFFFF));
    for (int ch = 0; ch < 2; ++ch) {
        const int m = measurementBase(ch);
        const int b = channelBase(ch);
        const bool measuring = m_powered && !m_noSignal[ch] && channelEnabled(ch);
        const double q = measuring ? effectiveFlow(ch, double(t)) * (1.0 + m_history.ripple(ch, t)) : 0.0;
        const double c = m_history.soundSpeed(ch, double(t)); // km/s
        const double d = internalDiameter(ch);                // mm
        const double area = d > 0 ? Pi * d * d / 4.0 * 1e-6 : 0.0;
        const double v = area > 0 ? q / 3600.0 / area : 0.0; // m/s
        const double offset = floatRaw(b + 16);
        const double delay = floatRaw(b + 18);
        const double shift = qint16(m_regs[b + 42]);
        // Transit times of a path across the pipe: the half-sum is about the diameter over the sound
        // speed (mm / (km/s) = us), the difference grows with the flow speed.
        const double halfSum = std::max(d, 1.0) * 1.15 / c + delay + 20.0;
        const double difference =
            measuring ? 2.0 * (d / 1000.0) * v / std::pow(c * 1000.0, 2) * 1e6 + offset : 0.0;
        // The receiver's times wobble by a tenth of a microsecond or so from one reading to the next.
        const double wobble = 20.0 * m_history.ripple(ch + 2, t);
        putLiveFloat(m + 0, float(difference));
        putLiveFloat(m + 2, float(halfSum + wobble));
        putLiveFloat(m + 4, float(halfSum - 15.0 + 0.5 * shift + 0.5 * wobble));
        putLiveFloat(m + 6, float(delay + 2.5 + 0.2 * wobble));
        putLiveFloat(m + 8, float(q));
        putLiveFloat(m + 10, float(measuring ? c : 0.0));
        putLiveFloat(m + 12, float(v));
        for (int r = 14; r <= 16; ++r)
            putLive(m + r, 0);
        for (int dir = 0; dir < 2; ++dir) {
            // Two-part float: the whole cubic metres and the fraction, so a large counter keeps
            // its litres in single precision.
            const double total = m_volume[ch][dir];
            const double whole = std::floor(total);
            putLiveFloat(m + 17 + 4 * dir, float(whole));
            putLiveFloat(m + 19 + 4 * dir, float(total - whole));
        }
        quint8 condition = 0;
        for (int code = 1; code <= 8; ++code)
            if (m_active[ch][code]) condition |= quint8(1u << (code - 1));
        putLive(254 + ch, condition);
    }
    putLive(252, 0);
    putLive(253, 0);
}

// ---------------------------------------------------------------------------------------------
// Installation settings

void DeviceModel::applyInstallationDefaults() {
    // Channel 1 signals on more conditions than channel 2, two of them only a two-beam meter has.
    m_regs[channelBase(0) + 44] = 0x94;
    // Verification drives the output the way operation does until someone changes it.
    m_regs[26] = m_regs[21];
    for (int ch = 0; ch < 2; ++ch)
        applyOutputSettings(ch);
}

void DeviceModel::applyOutputSettings(int channel) {
    // The weight of the frequency output follows the output mode and the pulse weight (in
    // verification the one set of both channels). The meter works it out when it is told to take
    // new settings (command 1), not on every write.
    const bool verification = (m_regs[15] & 0xFF) == 1;
    const int mode = (verification ? m_regs[26] : m_regs[21]) & 0xFF;
    const float weight = verification ? floatRaw(34) : floatRaw(channelBase(channel) + 26);
    float output = weight;                                     // m3 per pulse
    if (mode == 0) output = weight > 0 ? 1.0f / weight : 0.0f; // pulses per m3
    setFloatRaw(channelBase(channel) + 73, output);
}

// ---------------------------------------------------------------------------------------------
// The simulated world

qint64 DeviceModel::now() const {
    return m_clockBase + (m_clockRuns ? m_elapsed.elapsed() * m_clockRate / 1000 : 0);
}

void DeviceModel::sync() {
    integrateTo(now());
    refreshLive();
}

void DeviceModel::integrateTo(qint64 target) {
    while (m_t < target) {
        qint64 next = std::min(target, (m_t / Step + 1) * Step);
        while (m_planNext < m_planTimes.size() && m_planTimes[m_planNext] <= m_t)
            ++m_planNext;
        if (m_planNext < m_planTimes.size()) next = std::min(next, m_planTimes[m_planNext]);
        integrateSpan(m_t, next);
        m_t = next;
        atInstant(next);
    }
}

void DeviceModel::integrateSpan(qint64 from, qint64 to) {
    const double dt = double(to - from);
    const double mid = (double(from) + double(to)) / 2.0;
    for (int ch = 0; ch < 2; ++ch) {
        if (!m_powered || m_noSignal[ch]) {
            m_downtime[ch] += dt;
            continue;
        }
        if (!channelEnabled(ch)) continue;
        const double q = effectiveFlow(ch, mid);
        m_volume[ch][q >= 0 ? 0 : 1] += std::abs(q) * dt / 3600.0;
    }
}

ArchiveRecord DeviceModel::snapshot(qint64 time) const {
    ArchiveRecord r;
    r.time = quint32(clampTime(time));
    for (int ch = 0; ch < 2; ++ch) {
        r.volume[ch][0] = float(m_volume[ch][0]);
        r.volume[ch][1] = float(m_volume[ch][1]);
        r.downtime[ch] = quint32(std::llround(m_downtime[ch]));
    }
    return r;
}

void DeviceModel::atInstant(qint64 t) {
    // A period that ends while the meter is on gets its record stamped with the period's last second.
    if (m_powered && t % 3600 == 0) {
        const ArchiveRecord r = snapshot(t - 1);
        m_archives.write(ArchiveKind::Hour, r);
        if (t % 86400 == 0) {
            m_archives.write(ArchiveKind::Day, r);
            if (QDate(1970, 1, 1).addDays(t / 86400).day() == 1) m_archives.write(ArchiveKind::Month, r);
        }
    }
    if (m_replaying) {
        for (const auto& o : m_history.outages) {
            if (o.start == t && m_powered) powerOff(t);
            if (o.end == t && !m_powered) powerOn(t);
        }
        for (int ch = 0; ch < 2; ++ch) {
            for (const auto& s : m_history.noSignal[ch]) {
                if (s.start == t) m_noSignal[ch] = true;
                if (s.end == t) m_noSignal[ch] = false;
            }
        }
        while (m_faultNext < m_history.faults.size() && m_history.faults[m_faultNext].loggedAt <= t) {
            const auto& e = m_history.faults[m_faultNext++];
            m_journals[0].add({e.code, quint32(e.start), quint32(e.end)});
        }
        while (m_operatorNext < m_history.operatorActions.size() &&
               m_history.operatorActions[m_operatorNext].loggedAt <= t) {
            const auto& e = m_history.operatorActions[m_operatorNext++];
            m_journals[1].add({e.code, quint32(e.start), quint32(e.end)});
        }
    }
    if (m_powered) updateConditions(t);
}

void DeviceModel::powerOff(qint64 t) {
    // The meter writes what it has counted so far into the current periods as it goes down; the
    // rest of those periods then counts as downtime when the archive is read.
    const ArchiveRecord r = snapshot(t);
    m_archives.write(ArchiveKind::Hour, r);
    m_archives.write(ArchiveKind::Day, r);
    m_archives.write(ArchiveKind::Month, r);
    for (int ch = 0; ch < 2; ++ch) {
        for (int code = 1; code <= 8; ++code)
            setCondition(ch, code, false, t);
        setCondition(ch, 16, true, t);
    }
    m_powered = false;
}

void DeviceModel::powerOn(qint64 t) {
    for (int ch = 0; ch < 2; ++ch)
        setCondition(ch, 16, false, t);
    m_powered = true;
}

void DeviceModel::updateConditions(qint64 t) {
    for (int ch = 0; ch < 2; ++ch) {
        const bool enabled = channelEnabled(ch);
        setCondition(ch, 4, enabled && m_noSignal[ch], t);
        const double d = internalDiameter(ch);
        setCondition(ch, 3, enabled && !(d > 0), t);
        const bool measuring = enabled && !m_noSignal[ch];
        const double q = measuring ? effectiveFlow(ch, double(t)) : 0.0;
        const int b = channelBase(ch);
        setCondition(ch, 5, measuring && q > floatRaw(b + 38), t);
        setCondition(ch, 6, measuring && std::abs(q) < floatRaw(b + 40), t);
    }
}

void DeviceModel::setCondition(int channel, int code, bool on, qint64 t) {
    if (m_active[channel][code] == on) return;
    m_active[channel][code] = on;
    auto& journal = m_journals[2 + channel];
    if (on)
        m_openId[channel][code] = journal.add({code, quint32(clampTime(t)), 0});
    else
        journal.close(m_openId[channel][code], quint32(clampTime(t)));
}

// ---------------------------------------------------------------------------------------------
// ModBus

ModelReply DeviceModel::handle(const QByteArray& request) {
    if (request.size() < 4) return {{}, QStringLiteral("too short")};
    if (crc16::compute(request) != 0) return {{}, QStringLiteral("bad CRC")};
    const int to = byteAt(request, 0);
    const bool broadcast = to == 0;
    if (!broadcast && to != address()) return {{}, QStringLiteral("another address")};
    sync();
    const Outcome out = process(request.mid(1, request.size() - 3), broadcast);
    refreshLive();
    if (broadcast) return {{}, QStringLiteral("broadcast")};
    QByteArray frame;
    frame += char(to);
    frame += out.pdu;
    return {crc16::appended(frame), out.note};
}

DeviceModel::Outcome DeviceModel::exception(int function, int code, const QString& note) {
    QByteArray pdu;
    pdu += char((function | 0x80) & 0xFF);
    pdu += char(code);
    return {pdu, note};
}

DeviceModel::Outcome DeviceModel::process(const QByteArray& pdu, bool broadcast) {
    const int function = byteAt(pdu, 0);
    // Only writes make sense to every meter at once; a broadcast read goes unanswered and undone.
    if (broadcast && function != 5 && function != 6 && function != 16) return {};
    switch (function) {
    case 1:
        return readCoils(pdu);
    case 3:
        return readHolding(pdu);
    case 5:
        return writeCoil(pdu);
    case 6:
        return writeSingle(pdu);
    case 16:
        return writeMultiple(pdu);
    case 17:
        return reportSlaveId(pdu);
    case 65:
        return readArchive(pdu);
    default:
        return exception(function, IllegalFunction, QStringLiteral("unknown function %1").arg(function));
    }
}

DeviceModel::Outcome DeviceModel::readCoils(const QByteArray& pdu) {
    if (pdu.size() != 5) return exception(1, IllegalDataValue, QStringLiteral("malformed request"));
    const int first = wordAt(pdu, 1);
    const int count = wordAt(pdu, 3);
    if (count < 1 || count > 2000)
        return exception(1, IllegalDataValue, QStringLiteral("coil count %1").arg(count));
    if (first + count > CoilCount)
        return exception(1, IllegalDataAddress,
                         QStringLiteral("coils %1..%2").arg(first).arg(first + count - 1));
    QByteArray out;
    out += char(1);
    const int bytes = (count + 7) / 8;
    out += char(bytes);
    for (int i = 0; i < bytes; ++i) {
        quint8 b = 0;
        for (int bit = 0; bit < 8 && i * 8 + bit < count; ++bit)
            if (m_coils.test(first + i * 8 + bit)) b |= quint8(1u << bit);
        out += char(b);
    }
    return {out, {}};
}

DeviceModel::Outcome DeviceModel::readHolding(const QByteArray& pdu) {
    if (pdu.size() != 5) return exception(3, IllegalDataValue, QStringLiteral("malformed request"));
    const int first = wordAt(pdu, 1);
    const int count = wordAt(pdu, 3);
    if (count < 1 || count > MaxReadRegisters)
        return exception(3, IllegalDataValue, QStringLiteral("register count %1").arg(count));
    if (first + count > RegisterCount)
        return exception(3, IllegalDataAddress,
                         QStringLiteral("registers %1..%2").arg(first).arg(first + count - 1));
    QByteArray out;
    out += char(3);
    out += char(2 * count);
    for (int r = first; r < first + count; ++r)
        out += enc::u16Bytes(m_regs[r]);
    return {out, {}};
}

DeviceModel::Outcome DeviceModel::writeCoil(const QByteArray& pdu) {
    if (pdu.size() != 5) return exception(5, IllegalDataValue, QStringLiteral("malformed request"));
    const int coil = wordAt(pdu, 1);
    const int value = wordAt(pdu, 3);
    if (value != 0xFF00 && value != 0x0000)
        return exception(5, IllegalDataValue,
                         QStringLiteral("coil value %1").arg(value, 4, 16, QLatin1Char('0')));
    // Coil 2 presents a channel, 3 connects the signal imitator, 4 is the adjustment mode.
    if (coil < 2 || coil > 4) return exception(5, IllegalDataAddress, QStringLiteral("coil %1").arg(coil));
    m_coils.set(coil, value == 0xFF00);
    return {pdu, {}};
}

DeviceModel::Outcome DeviceModel::writeSingle(const QByteArray& pdu) {
    if (pdu.size() != 5) return exception(6, IllegalDataValue, QStringLiteral("malformed request"));
    const int reg = wordAt(pdu, 1);
    const auto failure = storeWords(reg, {wordAt(pdu, 3)});
    if (failure) return exception(6, *failure, QStringLiteral("write of register %1 refused").arg(reg));
    return {pdu, {}};
}

DeviceModel::Outcome DeviceModel::writeMultiple(const QByteArray& pdu) {
    if (pdu.size() < 6) return exception(16, IllegalDataValue, QStringLiteral("malformed request"));
    const int first = wordAt(pdu, 1);
    const int count = wordAt(pdu, 3);
    const int bytes = byteAt(pdu, 5);
    if (count < 1 || count > MaxWriteRegisters || bytes != 2 * count || pdu.size() != 6 + bytes)
        return exception(16, IllegalDataValue,
                         QStringLiteral("register count %1, %2 bytes").arg(count).arg(bytes));
    QList<quint16> words;
    for (int i = 0; i < count; ++i)
        words.append(wordAt(pdu, 6 + 2 * i));
    const auto failure = storeWords(first, words);
    if (failure)
        return exception(
            16, *failure,
            QStringLiteral("write of registers %1..%2 refused").arg(first).arg(first + count - 1));
    return {pdu.left(5), {}};
}

std::optional<int> DeviceModel::storeWords(int first, const QList<quint16>& words) {
    const int last = first + int(words.size()) - 1;
    for (int r = first; r <= last; ++r)
        if (!isWritable(r)) return IllegalDataAddress;
    for (int r = first; r <= last; ++r)
        if (r >= 27 && r <= 29 && !commandAccepted(r, words[r - first])) return IllegalDataValue;
    // The clock takes both halves at once when both are written, so the time never passes
    // through a mixed value.
    if (first <= 1 && last >= 0) {
        const quint16 high = first == 0 ? words[0] : m_regs[0];
        const quint16 low = (first <= 1 && last >= 1) ? words[1 - first] : m_regs[1];
        setDeviceTime((quint32(high) << 16) | low);
    }
    for (int r = std::max(first, 2); r <= last; ++r) {
        const quint16 value = words[r - first];
        if (r >= 27 && r <= 29)
            runCommand(r, value);
        else
            m_regs[r] = value;
    }
    return std::nullopt;
}

bool DeviceModel::commandAccepted(int, quint16 value) const {
    // 1 after a mode or scheme change, 2 volume reset (27/28) or journal clearing (29), 4 journal
    // clearing (27/28) or initialisation (29), 8 initialisation; 1 on 29 clears the archives.
    return value == 0 || value == 1 || value == 2 || value == 4 || value == 8;
}

void DeviceModel::runCommand(int reg, quint16 value) {
    m_regs[reg] = 0; // a command register always reads back idle
    if (reg == 27 || reg == 28) {
        const int ch = reg - 27;
        if (value == 2) {
            m_volume[ch][0] = 0;
            m_volume[ch][1] = 0;
        } else if (value == 4) {
            m_journals[2 + ch].clear();
        } else if (value == 1) {
            applyOutputSettings(ch);
        }
    } else if (reg == 29) {
        if (value == 1) {
            m_archives.clear();
        } else if (value == 2) {
            m_journals[0].clear();
            m_journals[1].clear();
        }
    }
}

DeviceModel::Outcome DeviceModel::reportSlaveId(const QByteArray& pdu) {
    if (pdu.size() != 1) return exception(17, IllegalDataValue, QStringLiteral("malformed request"));
    auto encode = [](const QString& text) { return cp1251::encode(text).left(100); };
    QByteArray data = encode(idText1());
    data += '\0';
    data += encode(idText2());
    data += '\0';
    QByteArray out;
    out += char(17);
    out += char(data.size());
    out += data;
    return {out, {}};
}

DeviceModel::Outcome DeviceModel::readArchive(const QByteArray& pdu) {
    if (pdu.size() < 8) return exception(65, IllegalDataValue, QStringLiteral("malformed request"));
    const int archive = wordAt(pdu, 1);
    const int count = wordAt(pdu, 3);
    const int mode = byteAt(pdu, 5);
    if (archive > 6) return exception(65, IllegalDataAddress, QStringLiteral("archive %1").arg(archive));
    const bool isJournal = archive >= 3;
    const int max = isJournal ? MaxJournalEntries : MaxArchiveRecords;
    if (count < 1 || count > max)
        return exception(65, IllegalDataValue,
                         QStringLiteral("%1 records of archive %2").arg(count).arg(archive));
    QByteArray data;
    if (mode == 0 && pdu.size() == 8) {
        const int first = wordAt(pdu, 6);
        for (int i = 0; i < count; ++i) {
            if (isJournal)
                data += records::encodeJournalEntry(m_journals[archive - 3].entry(first + i));
            else
                data += records::encodeArchiveRecord(m_archives.slot(ArchiveKind(archive), first + i));
        }
    } else if (mode == 1 && pdu.size() == 12 && !isJournal) {
        const int hour = byteAt(pdu, 8), day = byteAt(pdu, 9), month = byteAt(pdu, 10),
                  year = byteAt(pdu, 11);
        const QDate date(2000 + year, month, day);
        if (!date.isValid() || hour > 23)
            return exception(65, IllegalDataValue,
                             QStringLiteral("date %1.%2.%3 %4h").arg(day).arg(month).arg(year).arg(hour));
        const qint64 at = QDate(1970, 1, 1).daysTo(date) * 86400 + hour * 3600;
        const auto kind = ArchiveKind(archive);
        // One record per period from the one containing the date: whatever the period's slot holds,
        // so a period the meter did not record shows up with a foreign (or zero) time.
        const qint64 period = ArchiveStore::periodOf(kind, at);
        for (int i = 0; i < count; ++i)
            data += records::encodeArchiveRecord(m_archives.forPeriod(kind, period + i));
    } else {
        return exception(65, IllegalDataValue,
                         QStringLiteral("mode %1 for archive %2").arg(mode).arg(archive));
    }
    QByteArray out;
    out += char(65);
    out += char(data.size());
    out += data;
    return {out, {}};
}

} // namespace sim
