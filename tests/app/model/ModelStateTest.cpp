// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/model/BundleInfo.h"
#include "tests/app/model/ModelTestSupport.h"

#include <QDir>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QThreadPool>

namespace lumafold::test {
namespace {

class EnvironmentVariable
{
public:
    EnvironmentVariable(const char* name, const QByteArray& value) : m_name(name) { qputenv(name, value); }
    ~EnvironmentVariable() { qunsetenv(m_name); }

private:
    const char* m_name;
};

using ModelStateTest = ModelTest;

TEST_F(ModelStateTest, OutputFolderComesFromTheEnvironmentEvenWhenMissing)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"/nowhere/at/all", "/nowhere/at/all"}, {"/tmp/out/", "/tmp/out"}, {"", QDir::currentPath()}};
    for (const auto& [value, folder] : cases) {
        SCOPED_TRACE(value.toStdString());
        const EnvironmentVariable variable("MARLO_UI_TEST_OUTPUT_DIR", value);
        EXPECT_EQ(AppModel(dialogs).outputFolder(), QUrl::fromLocalFile(folder));
    }
}

TEST_F(ModelStateTest, StartupInputsAreAddedInOrderOnceTheEventLoopRuns)
{
    writeWidthsPdf(dir / "a.pdf", 1, 100);
    writeWidthsPdf(dir / "b.pdf", 1, 300);
    const std::string inputs = "\n" + (dir / "a.pdf").string() + "\n\n" + (dir / "b.pdf").string() + "\n";
    const EnvironmentVariable variable("MARLO_UI_TEST_INPUTS", QByteArray::fromStdString(inputs));
    EXPECT_FALSE(model().isLoading()) << "the constructor must not start the load itself";
    ASSERT_TRUE(QTest::qWaitFor([&] { return model().pages().size() == 2; }, 60'000));
    EXPECT_EQ(cardWidths(model()), (std::vector<double>{100, 300}));
}

// Under ASan, a startup add or a load delivered to the freed model fails the run.
TEST_F(ModelStateTest, WorkOutlivingItsModelIsDropped)
{
    writeWidthsPdf(dir / "big.pdf", 40);
    writeWidthsPdf(dir / "small.pdf", 1);
    {
        const EnvironmentVariable variable("MARLO_UI_TEST_INPUTS",
                                           QByteArray::fromStdString((dir / "big.pdf").string()));
        AppModel doomed(dialogs);
        doomed.add(fileUrls({dir / "big.pdf"}));
    }
    addAndWait(fileUrls({dir / "small.pdf"}));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(model().pages().size(), 1);
}

// Every assignable property: an equal value notifies nobody, a different one notifies once.
TEST_F(ModelStateTest, AssigningAnEqualValueNotifiesNobody)
{
    AppModel& m = model();
    EXPECT_EQ(m.outputName(), "Combined-pages");
    EXPECT_EQ(m.blankPageSize(), (PageSize{595.28, 841.89}));
    EXPECT_EQ(m.version(), "Development");
    PageItem card;
    card.id = QUuid::createUuid();
    const QHash<QString, QVariant> different = {
        {"pages", QVariant::fromValue(PageList{card})},
        {"selection", QVariant::fromValue(QSet<QUuid>{card.id})},
        {"exportMode", QVariant::fromValue(PagesExportMode::split)},
        {"splitChunkSize", QVariant::fromValue(qint64{4})},
        {"outputName", QVariant::fromValue(QString("Report"))},
        {"removeMetadata", true},
        {"blankPageSize", QVariant::fromValue(PageSize::letter)},
        {"outputFolder", QVariant::fromValue(std::optional<QUrl>(QUrl::fromLocalFile("/tmp")))},
        {"isLoading", true},
        {"isExporting", true},
        {"isDropTargeted", true},
        {"progress", 0.5},
        {"errorMessage", QVariant::fromValue(std::optional<QString>("Oops"))},
        {"previewResult", QVariant::fromValue(std::optional<PagesResult>(PagesResult{{1, 2}, 1, 1}))},
        {"previewError", QVariant::fromValue(std::optional<QString>("Broken"))},
        {"isRenderingPreview", true},
        {"lastOutputURLs", QVariant::fromValue(QList<QUrl>{QUrl::fromLocalFile("/tmp/a.pdf")})},
        {"availableUpdate", QVariant::fromValue(std::optional<UpdateInfo>(UpdateInfo{"2.0", "https://x/y.zip", ""}))},
        {"isUpdating", true},
        {"isCheckingForUpdate", true},
    };
    const QMetaObject* meta = m.metaObject();
    int writable = 0;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isWritable()) {
            continue;
        }
        ++writable;
        SCOPED_TRACE(property.name());
        ASSERT_TRUE(different.contains(property.name()));
        QSignalSpy notified(&m, property.notifySignal());
        ASSERT_TRUE(property.write(&m, property.read(&m)));
        EXPECT_EQ(notified.count(), 0);
        ASSERT_TRUE(property.write(&m, different[property.name()]));
        EXPECT_EQ(notified.count(), 1);
        ASSERT_TRUE(property.write(&m, different[property.name()]));
        EXPECT_EQ(notified.count(), 1);
    }
    EXPECT_EQ(writable, different.size());
    EXPECT_TRUE(m.undoStack().isEmpty()) << "assigning pages is no undo step";
}

TEST(BundleInfoTest, ReadsTheTextShortVersionOfTheTopDictionaryOnly)
{
    TempDir folder;
    const auto version = [&](const std::string& entries) {
        writeFile(folder / "Info.plist",
                  R"(<?xml version="1.0"?><plist version="1.0"><dict>)" + entries + "</dict></plist>");
        return BundleInfo::shortVersion(QString::fromStdString((folder / "Info.plist").string()));
    };
    EXPECT_EQ(version("<key>CFBundleIdentifier</key><string>app.marlo.Lumafold</string>"
                      "<key>CFBundleShortVersionString</key><string>2.4.1</string>"),
              "2.4.1");
    EXPECT_EQ(version("<key>Other</key><dict><key>CFBundleShortVersionString</key><string>9</string></dict>"
                      "<key>CFBundleShortVersionString</key><integer>2</integer>"),
              std::nullopt);
    EXPECT_EQ(BundleInfo::shortVersion("/nonexistent/Info.plist"), std::nullopt);
}

} // namespace
} // namespace lumafold::test
