#pragma once
// The ModBus function codes the meter serves, function 65 being its own archive read.
namespace modbus {
constexpr int FnReadCoils = 1;
constexpr int FnReadHolding = 3;
constexpr int FnWriteCoil = 5;
constexpr int FnWriteRegister = 6;
constexpr int FnWriteRegisters = 16;
constexpr int FnReportSlaveId = 17;
constexpr int FnReadArchive = 65;
} // namespace modbus
