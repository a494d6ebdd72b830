// SPDX-License-Identifier: AGPL-3.0-or-later
#include "WindowTestSupport.h"
#include "ui/Translations.h"

#include <QAction>

namespace lumafold::test {
namespace {

// Run with LANGUAGE=eo, with a one-text Esperanto translation in LUMAFOLD_TEST_TRANSLATIONS.
struct TranslatedWindowTest : WindowTest
{
    static void SetUpTestSuite() { ASSERT_TRUE(installTranslations(*qApp, LUMAFOLD_TEST_TRANSLATIONS)); }
};

TEST_F(TranslatedWindowTest, TheWindowShowsTheTextsOfTheUsersLanguage)
{
    EXPECT_EQ(find<QAction>(QStringLiteral("actionInsertBlankPage"))->text(), QStringLiteral("Enmeti malplenan paĝon"));
}

} // namespace
} // namespace lumafold::test
