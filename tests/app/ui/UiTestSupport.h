// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <optional>

namespace lumafold::test {

// gtest_main owns main(), so the application lives in a global environment, shared by every
// test file of the executable.
struct WidgetApplication : ::testing::Environment
{
    void SetUp() override
    {
        ::setenv("DISABLE_AUTO_UPDATE", "1", 1); // the window's model never asks the maker's server
        app.emplace(argc, argv);
    }
    void TearDown() override { app.reset(); }
    int argc = 1;
    char* argv[2] = {const_cast<char*>("ui_tests"), nullptr};
    std::optional<QApplication> app;
};
inline auto* const widgetApplication = ::testing::AddGlobalTestEnvironment(new WidgetApplication);

} // namespace lumafold::test
