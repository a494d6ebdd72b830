// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "model/AppModel.h"
#include "model/FileLocations.h"
#include "support/PdfFactory.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "support/TestApplication.h"
#include "ui/LumafoldDelegate.h"
#include "ui/MainWindow.h"
#include "ui/PageGridView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QThreadPool>

namespace lumafold::test {

inline auto* const widgetApplication = ::testing::AddGlobalTestEnvironment(new TestApplication<QApplication>);

// The real window over a real model, shown on the offscreen platform.
class WindowTest : public ::testing::Test
{
protected:
    WindowTest() : window(model, delegate, dialogs)
    {
        window.show();
        delegate.setModel(&model);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    ~WindowTest() override
    {
        // Work in flight reports to the model; let it finish before the model goes.
        QThreadPool::globalInstance()->waitForDone();
    }

    template <typename T = QWidget> T* find(const QString& name) const
    {
        T* found = window.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    // A label's or button's text while it is shown.
    QString text(const QString& name) const
    {
        const QWidget* widget = find(name);
        return widget && widget->isVisibleTo(&window) ? widget->property("text").toString() : QString();
    }

    // Adds a file of `count` pages named `name` and waits until its cards are in.
    void addPages(const std::string& name, int count)
    {
        model.add({FileLocations::toUrl(writeSimplePdf(dir / name, count))});
        ASSERT_TRUE(QTest::qWaitFor([this] { return !model.isLoading(); }));
    }

    PageGridView* grid() const { return find<PageGridView>(QStringLiteral("pageGridView")); }
    QPoint cardCentre(int row) const { return grid()->visualRect(grid()->model()->index(row, 0)).center(); }
    void clickCard(int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, modifiers, cardCentre(row));
    }
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < model.pages().size(); ++row) {
            if (model.selection().contains(model.pages().at(row).id)) {
                rows << row;
            }
        }
        return rows;
    }
    QList<qint64> rotations() const
    {
        QList<qint64> turns;
        for (const PageItem& page : model.pages()) {
            turns << page.descriptor.rotation;
        }
        return turns;
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    AppModel model{dialogs};
    LumafoldDelegate delegate{dialogs};
    MainWindow window;
};

} // namespace lumafold::test
