// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/SettingsView.h"

#include "model/AppModel.h"
#include "model/Dialogs.h"
#include "ui/Style.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumafold {

namespace {

QPushButton* link(const QString& text, const QUrl& target, Dialogs& dialogs, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    Style::makeLink(button);
    QObject::connect(button, &QPushButton::clicked, parent, [&dialogs, target] { dialogs.openUrl(target); });
    return button;
}

} // namespace

SettingsView::SettingsView(const AppModel& model, Dialogs& dialogs, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("settingsView"));
    setWindowTitle(tr("Preferences"));
    setFixedWidth(448);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    auto* about = new QGroupBox(tr("About"), this);
    auto* row = new QHBoxLayout(about);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    auto* name = new QLabel(tr("Marlo Lumafold %1").arg(model.version()), about);
    name->setObjectName(QStringLiteral("aboutVersion"));
    QPushButton* maker = link(tr("marlo.app"), model.websiteURL(), dialogs, about);
    Style::setTextStyle(maker, Style::Text::caption);
    lines->addWidget(name);
    lines->addWidget(maker, 0, Qt::AlignLeft);
    row->addLayout(lines);
    row->addStretch();
    row->addWidget(link(tr("Send feedback"), model.feedbackURL(), dialogs, about));
    row->addWidget(link(tr("Website"), model.websiteURL(), dialogs, about));
    column->addWidget(about);
}

} // namespace lumafold
