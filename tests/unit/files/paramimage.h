#pragma once
// The parameter files' register image for tests, written register by register.
#include "files/registerimage.h"
#include "registerhex.h"

struct TestImage : TestRegisters {
    TestImage() : TestRegisters(0, image::Registers) {}
};
