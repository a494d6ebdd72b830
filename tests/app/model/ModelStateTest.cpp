// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"
#include "support/ScopedEnvironment.h"

#include <QDir>
#include <QMetaProperty>
#include <QSignalSpy>

namespace lumafold::test {
namespace {

using ModelStateTest = ModelTest;

TEST_F(ModelStateTest, OutputFolderComesFromTheEnvironmentEvenWhenMissing)
{
    const std::pair<std::string, QString> cases[] = {
        {"/nowhere/at/all", "/nowhere/at/all"}, {"/tmp/out/", "/tmp/out"}, {"", QDir::currentPath()}};
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

// Every assignable property: an equal value notifies nobody, a different one notifies once.
TEST_F(ModelStateTest, AssigningAnEqualValueNotifiesNobody)
{
    AppModel& m = model();
    const QUuid id = QUuid::createUuid();
    const QHash<QString, QVariant> different = {
        {"pages", QVariant::fromValue(PageList{PageItem{.id = id}})},
        {"selection", QVariant::fromValue(QSet<QUuid>{id})},
        {"exportMode", QVariant::fromValue(PagesExportMode::split)},
        {"splitChunkSize", QVariant::fromValue(qint64{4})},
        {"outputName", QVariant::fromValue(QString("Report"))},
        {"blankPageSize", QVariant::fromValue(PageSize::letter)},
        {"outputFolder", QVariant::fromValue(std::optional<QUrl>(QUrl::fromLocalFile("/tmp")))},
        {"progress", 0.5},
        {"errorMessage", QVariant::fromValue(std::optional<QString>("Oops"))},
        {"previewResult", QVariant::fromValue(std::optional<PagesResult>(PagesResult{{1, 2}, 1, 1}))},
        {"previewError", QVariant::fromValue(std::optional<QString>("Broken"))},
        {"lastOutputURLs", QVariant::fromValue(QList<QUrl>{QUrl::fromLocalFile("/tmp/a.pdf")})},
        {"availableUpdate", QVariant::fromValue(std::optional<UpdateInfo>(UpdateInfo{"2.0", "https://x/y.zip", ""}))}};
    const QMetaObject* meta = m.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isWritable()) {
            continue;
        }
        SCOPED_TRACE(property.name());
        const QVariant value = property.typeId() == QMetaType::Bool ? QVariant(true) : different.value(property.name());
        ASSERT_TRUE(value.isValid()) << "a property without a test value";
        QSignalSpy notified(&m, property.notifySignal());
        ASSERT_TRUE(property.write(&m, property.read(&m)));
        EXPECT_EQ(notified.count(), 0);
        ASSERT_TRUE(property.write(&m, value) && property.write(&m, value));
        EXPECT_EQ(notified.count(), 1);
    }
    EXPECT_TRUE(m.undoStack().isEmpty()) << "assigning pages is no undo step";
}

// Equal cards must agree in everything, so that an unchanged assignment can be told from a change.
TEST(PageItemTest, EveryFieldTakesPartInEquality)
{
    const PageItem card{QUuid::createUuid(), PageDescriptor(PageContent::source("/a.pdf", 2), 90), "", "a.pdf", 3};
    const std::function<void(PageItem&)> changes[] = {
        [](PageItem& c) { c.id = QUuid::createUuid(); },
        [](PageItem& c) { c.descriptor = PageDescriptor(PageContent::source("/a.pdf", 1), 90); },
        [](PageItem& c) { c.descriptor = PageDescriptor(c.descriptor.content, 180); },
        [](PageItem& c) { c.thumbnailData = "jpeg"; },
        [](PageItem& c) { c.thumbnailData = QByteArray(); }, // an empty picture is not a missing one
        [](PageItem& c) { c.sourceName = "b.pdf"; },
        [](PageItem& c) { c.sourcePage = std::nullopt; },
    };
    for (const auto& change : changes) {
        PageItem other = card;
        change(other);
        EXPECT_FALSE(other == card || card == other) << &change - changes;
    }
}

} // namespace
} // namespace lumafold::test
