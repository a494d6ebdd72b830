// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PageListModel.h"

#include "model/AppModel.h"

namespace lumafold {

PageListModel::PageListModel(AppModel& model, QObject* parent) : QAbstractListModel(parent), m_model(&model)
{
    connectStructure();
}

void PageListModel::connectStructure()
{
    AppModel* model = m_model;
    connect(model, &AppModel::pagesAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(model, &AppModel::pagesInserted, this, [this](int first, int last) {
        endInsertRows();
        // Every card after the new ones now has another position.
        if (last + 1 < rowCount()) {
            emit dataChanged(index(last + 1), index(rowCount() - 1), {PositionRole, Qt::AccessibleTextRole});
        }
        Q_UNUSED(first);
    });
    connect(model, &AppModel::pagesAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(model, &AppModel::pagesRemoved, this, [this](int first, int) {
        endRemoveRows();
        if (first < rowCount()) {
            emit dataChanged(index(first), index(rowCount() - 1), {PositionRole, Qt::AccessibleTextRole});
        }
    });
    connect(model, &AppModel::pageAboutToBeMoved, this,
            [this](int from, int to) { beginMoveRows({}, from, from, {}, to > from ? to + 1 : to); });
    connect(model, &AppModel::pageMoved, this, [this](int from, int to) {
        endMoveRows();
        emit dataChanged(index(std::min(from, to)), index(std::max(from, to)), {PositionRole, Qt::AccessibleTextRole});
    });
    connect(model, &AppModel::pagesAboutToBeReset, this, [this] { beginResetModel(); });
    connect(model, &AppModel::pagesReset, this, [this] { endResetModel(); });
    connect(model, &AppModel::pagesUpdated, this,
            [this](int first, int last) { emit dataChanged(index(first), index(last)); });
}

int PageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_model ? 0 : static_cast<int>(m_model->pages().size());
}

QVariant PageListModel::data(const QModelIndex& index, int role) const
{
    if (!m_model || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const PageItem& item = m_model->pages().at(index.row());
    switch (role) {
    case PositionRole:
        return index.row() + 1;
    case Qt::AccessibleTextRole:
        return tr("Page %1, %2").arg(index.row() + 1).arg(item.sourceName);
    // Where the page comes from; its position is a role of its own, as it changes with every
    // insertion before it.
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case SourceLineRole:
        return item.sourcePage ? QStringLiteral("%1 · %2").arg(item.sourceName).arg(*item.sourcePage) : item.sourceName;
    case PageIdRole:
        return item.id;
    case ThumbnailRole:
        return item.thumbnailData;
    case RotationRole:
        return static_cast<int>(item.descriptor.rotation);
    case HasSourceRole:
        return item.sourcePage.has_value();
    default:
        return {};
    }
}

Qt::ItemFlags PageListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QModelIndex PageListModel::indexOf(const QUuid& id) const
{
    if (!m_model) {
        return {};
    }
    const PageList& pages = m_model->pages();
    for (int row = 0; row < pages.size(); ++row) {
        if (pages.at(row).id == id) {
            return index(row);
        }
    }
    return {};
}

} // namespace lumafold
