#pragma once
// Register images for the parameter-file tests, written register by register.
#include "files/registerimage.h"

#include <QByteArray>
#include <bit>
#include <cstdint>

struct TestImage {
    QByteArray bytes{image::Bytes, '\0'};

    TestImage& u16(int reg, std::uint16_t v) {
        bytes[2 * reg] = char(v >> 8);
        bytes[2 * reg + 1] = char(v);
        return *this;
    }
    TestImage& u32(int reg, std::uint32_t v) {
        return u16(reg, std::uint16_t(v >> 16)).u16(reg + 1, std::uint16_t(v));
    }
    TestImage& f32(int reg, float v) { return u32(reg, std::bit_cast<std::uint32_t>(v)); }
    RegisterBlock block() const { return image::block(bytes); }
};
