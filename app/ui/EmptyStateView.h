// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace lumafold {

// A centred column saying why a region is empty: a large symbol, a title, a description and
// optionally one action.
class EmptyStateView : public QWidget
{
public:
    EmptyStateView(const QString& symbol, const QString& title, QWidget* parent);

    void setDescription(const QString& description);
    QPushButton* addAction(const QString& label);

private:
    QLabel* m_description;
};

} // namespace lumafold
