#pragma once

#include <Child.h>

#include <chrono>

namespace DumpTest {

// Waits for the child to end; after `patience` (a guard against a hang,
// not a measure of speed) it is killed and the test fails.
zymtest::ProcessResult WaitAtMost(zymtest::Child& child, std::chrono::seconds patience);

} // namespace DumpTest
