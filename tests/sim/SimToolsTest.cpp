// The simulated machine's own tools, which every scenario relies on: faults
// that hit one call or every call, call counts that refuse names the machine
// does not have, and the time line's order check. (What the machine answers
// as Windows is judged by the conformance table.)
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/sim/SimMachine.h"

TEST(SimulatedMachineTools, AFaultHitsItsCallOrEveryCall)
{
    SimMachine machine;
    machine.record.Fail("CreateDirectoryA", ERROR_ACCESS_DENIED, 2);
    EXPECT_TRUE(machine.files.CreateDirectoryA("C:\\One", nullptr));
    EXPECT_FALSE(machine.files.CreateDirectoryA("C:\\Two", nullptr));
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(machine.files.CreateDirectoryA("C:\\Three", nullptr));
    machine.record.Fail("RegCloseKey", ERROR_INVALID_HANDLE);
    EXPECT_EQ(machine.registry.RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(machine.registry.RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(machine.record.fired, (std::vector<std::string>{"CreateDirectoryA #2", "RegCloseKey #1", "RegCloseKey #2"}));
    EXPECT_EQ(machine.record.CountOf("CreateDirectoryA"), 3);
}

TEST(SimulatedMachineTools, CallCountsAndFaultsRefuseOperationsTheMachineDoesNotHave)
{
    SimMachine machine;
    EXPECT_THROW(machine.record.CountOf("AddPrinter"), std::logic_error);
    EXPECT_THROW(machine.record.Fail("RegOpenKey", ERROR_ACCESS_DENIED), std::logic_error);
    EXPECT_EQ(machine.record.CountOf("AddPrinterA"), 0);
}

TEST(SimulatedMachineTools, AnOrderCheckFailsWhenAnEventIsMissingOrOutOfOrder)
{
    SimMachine machine;
    machine.record.Log("first");
    machine.record.Log("second");
    EXPECT_EQ(machine.record.OrderProblem({"first", "second"}), "");
    EXPECT_NE(machine.record.OrderProblem({"second", "first"}), "");
    EXPECT_NE(machine.record.OrderProblem({"first", "third"}), "");
    EXPECT_NE(machine.record.OrderProblem({"third", "first"}), "");
}
