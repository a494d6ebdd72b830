// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QPointer>

namespace lumafold {

class AppModel;

// The workspace's pages as rows for the card grid. Follows the model's structural notices one by
// one, so views keep their selection, scroll position and current card across edits. Read only:
// moving, adding and removing go through AppModel.
class PageListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        PageIdRole = Qt::UserRole + 1,
        PositionRole,   // 1-based
        ThumbnailRole,  // the JPEG bytes, rotation applied; null when there is no picture
        RotationRole,   // degrees, multiple of 90
        SourceLineRole, // "report.pdf · 4", also the display text
        HasSourceRole,
    };

    explicit PageListModel(AppModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QModelIndex indexOf(const QUuid& id) const;

private:
    void connectStructure();

    QPointer<AppModel> m_model;
};

} // namespace lumafold
