// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QWidget>

namespace lumafold {

// Covers the window while files are dragged over it, saying they will be added. Lets every
// event through to what lies below.
class DropOverlay : public QWidget
{
    Q_OBJECT

public:
    explicit DropOverlay(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace lumafold
