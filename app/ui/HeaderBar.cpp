// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/HeaderBar.h"

#include "model/AppModel.h"
#include "ui/Icons.h"
#include "ui/Style.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace lumafold {

namespace {

QAction* makeAction(const QString& name, const QString& text, const QString& symbol, const QKeySequence& key,
                    QWidget* owner)
{
    auto* action = new QAction(Icons::symbol(symbol), text, owner);
    action->setObjectName(name);
    action->setShortcut(key);
    owner->addAction(action);
    return action;
}

QToolButton* iconButton(QAction* action, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(18, 18));
    button->setAccessibleName(action->text());
    return button;
}

} // namespace

HeaderBar::HeaderBar(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("header"));
    setFixedHeight(58);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 0, 18, 0);
    row->setSpacing(10);

    QAction* add = makeAction(QStringLiteral("actionAddPdfs"), tr("Add PDFs"), QStringLiteral("plus"),
                              QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(add, &QAction::triggered, &model, &AppModel::choosePDFs);
    auto* addButton =
        new QPushButton(Icons::symbol(QStringLiteral("plus"), QPalette::HighlightedText), add->text(), this);
    addButton->setObjectName(QStringLiteral("addPdfsButton"));
    Style::makeProminent(addButton);
    connect(addButton, &QPushButton::clicked, &model, &AppModel::choosePDFs);
    row->addWidget(addButton);
    addBlankPageButton(row);

    auto* line = Style::divider(Qt::Vertical, this);
    line->setFixedHeight(22);
    row->addWidget(line);
    m_undo = makeAction(QStringLiteral("actionUndo"), tr("Undo"), QStringLiteral("arrow.uturn.backward"),
                        QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    m_redo = makeAction(QStringLiteral("actionRedo"), tr("Redo"), QStringLiteral("arrow.uturn.forward"),
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
    connect(m_undo, &QAction::triggered, &model, &AppModel::undo);
    connect(m_redo, &QAction::triggered, &model, &AppModel::redo);
    row->addWidget(iconButton(m_undo, this));
    row->addWidget(iconButton(m_redo, this));
    row->addStretch();

    m_pageCounter = new QLabel(this);
    m_pageCounter->setObjectName(QStringLiteral("pageCounter"));
    m_selectionCounter = new QLabel(this);
    m_selectionCounter->setObjectName(QStringLiteral("selectionCounter"));
    for (QLabel* counter : {m_pageCounter, m_selectionCounter}) {
        Style::makeSecondary(counter);
        row->addWidget(counter);
    }

    for (const auto signal : {&AppModel::pagesChanged, &AppModel::selectionChanged, &AppModel::undoStackChanged,
                              &AppModel::redoStackChanged, &AppModel::isExportingChanged}) {
        connect(&model, signal, this, &HeaderBar::refresh);
    }
    refresh();
}

void HeaderBar::addBlankPageButton(QLayout* row)
{
    auto* button = new QPushButton(Icons::symbol(QStringLiteral("doc.badge.plus")), tr("Blank Page"), this);
    button->setObjectName(QStringLiteral("blankPageButton"));
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("blankPageMenu"));
    const auto insert = [this](const PageSize& size) {
        return [this, size] {
            m_model.setBlankPageSize(size);
            m_model.insertBlankPage();
        };
    };
    menu->addAction(tr("Insert A4 Page"), this, insert(PageSize::a4))->setObjectName(QStringLiteral("actionInsertA4"));
    menu->addAction(tr("Insert US Letter Page"), this, insert(PageSize::letter))
        ->setObjectName(QStringLiteral("actionInsertLetter"));
    button->setMenu(menu);
    row->addWidget(button);
}

void HeaderBar::refresh()
{
    const qsizetype pages = m_model.pages().size();
    const qsizetype selected = m_model.selection().size();
    m_undo->setEnabled(!m_model.undoStack().isEmpty() && !m_model.isExporting());
    m_redo->setEnabled(!m_model.redoStack().isEmpty() && !m_model.isExporting());
    m_pageCounter->setText(pages == 1 ? tr("1 page") : tr("%1 pages").arg(pages));
    m_pageCounter->setVisible(pages > 0);
    m_selectionCounter->setText(tr("· %1 selected").arg(selected));
    m_selectionCounter->setVisible(pages > 0 && selected > 0);
}

} // namespace lumafold
