// Assertions over the simulated machine's time line.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tests/sim/SimCallRecord.h"

// Each event happened, each after the one before it. Fails when any is missing.
inline ::testing::AssertionResult InOrder(const SimCallRecord& record, std::initializer_list<std::string> sequence)
{
    std::string problem = record.OrderProblem(sequence);
    if (problem.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem;
}
