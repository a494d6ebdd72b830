// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"
#include "support/ScopedEnvironment.h"

#include <QDir>

namespace lumafold::test {
namespace {

using ModelStateTest = ModelTest;

TEST_F(ModelStateTest, OutputFolderComesFromTheEnvironmentEvenWhenMissing)
{
    const std::pair<std::string, QString> cases[] = {{"/nowhere/at/all/", "/nowhere/at/all"},
                                                     {"", QDir::currentPath()}};
    for (const auto& [value, folder] : cases) {
        SCOPED_TRACE(value);
        const ScopedEnvironmentVariable variable("MARLO_UI_TEST_OUTPUT_DIR", value);
        EXPECT_EQ(AppModel(dialogs).outputFolder(), QUrl::fromLocalFile(folder));
    }
}

// Under ASan, a startup add or a load delivered to the freed first model fails the run.
TEST_F(ModelStateTest, StartupInputsAreAddedInOrderOnceTheEventLoopRunsAndNotAfterTheModelIsGone)
{
    const std::string a = writeWidthsPdf(dir / "a.pdf", {100}), b = writeWidthsPdf(dir / "b.pdf", {300});
    const std::string big = writeWidthsPdf(dir / "big.pdf", std::vector<double>(40, 100));
    {
        const ScopedEnvironmentVariable variable("MARLO_UI_TEST_INPUTS", big);
        AppModel(dialogs).add(urls({big}));
    }
    const ScopedEnvironmentVariable variable("MARLO_UI_TEST_INPUTS", "\n" + a + "\n\n" + b + "\n");
    EXPECT_FALSE(model().isLoading()) << "the constructor must not start the load itself";
    ASSERT_TRUE(QTest::qWaitFor([&] { return model().pages().size() == 2; }, 60'000));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(cardWidths(), (std::vector<double>{100, 300}));
}

} // namespace
} // namespace lumafold::test
