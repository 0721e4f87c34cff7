#pragma once
// The transfer tests' names for the one server fixture (EngineTest.h).
#include "tests/server/EngineTest.h"

namespace transfer_test {
using namespace engine_test;
using TransferTest = engine_test::EngineTest;
} // namespace transfer_test
