// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "support/TestApplication.h"

#include <QApplication>

namespace lumafold::test {

inline auto* const widgetApplication = ::testing::AddGlobalTestEnvironment(new TestApplication<QApplication>);

} // namespace lumafold::test
