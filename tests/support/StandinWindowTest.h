// Base fixtures of window tests that run stand-in tools: a fresh stand-in folder for every test,
// a watchdog on command windows nobody expected, and no queued window action left over from a
// test that ended early.
#pragma once

#include "tests/standin/StandinFixture.h"
#include "tests/support/CommandWatchdog.h"
#include "tests/support/PageDriver.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

// A derived fixture installs its tools after calling SetUp, and puts back what it changed
// before calling TearDown, which removes the stand-in folder last.
class StandinWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tools.reset(new StandinFixture());
        StartCommandWatchdog();
    }
    void TearDown() override
    {
        StopCommandWatchdog();
        ClearActions();
        tools.reset();
    }

    std::unique_ptr<StandinFixture> tools;
};

// Pages show list views and progress bars, whose classes are registered once per program.
class StandinPageTest : public StandinWindowTest
{
protected:
    static void SetUpTestSuite() { InitListControls(); }
};

} // namespace testsupport
