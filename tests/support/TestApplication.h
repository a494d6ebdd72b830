// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QThreadPool>

#include <cstdlib>
#include <optional>

namespace lumafold::test {

// gtest_main owns main(), so the application lives in a global environment, shared by every
// test file of the executable.
template <typename Application> struct TestApplication : ::testing::Environment
{
    void SetUp() override
    {
        ::setenv("DISABLE_AUTO_UPDATE", "1", 1); // models ask the maker's server only where a test says so
        app.emplace(argc, argv);
        // The user's own settings are never read or written.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settings.path()));
    }
    void TearDown() override
    {
        QThreadPool::globalInstance()->waitForDone();
        app.reset();
    }
    int argc = 1;
    char* argv[2] = {const_cast<char*>("lumafold_tests"), nullptr};
    std::optional<Application> app;
    TempDir settings;
};

} // namespace lumafold::test
