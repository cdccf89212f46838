// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelGrid.h"

#include "panels/PanelColumn.h"

#include <QWidget>

void PanelGrid_t::invalidate() {
    QGridLayout::invalidate();
    QWidget *panel = parentWidget();
    QWidget *container = panel ? panel->parentWidget() : nullptr;
    if (auto *column = container ? qobject_cast<PanelColumn_t *>(container->layout()) : nullptr)
        column->_PanelChanging(panel);
}

QList<PanelGrid_t::ItemSize_t> PanelGrid_t::_ItemSizes() const {
    QList<ItemSize_t> sizes;
    sizes.reserve(count());
    for (int i = 0; i < count(); ++i) {
        const QLayoutItem *item = itemAt(i);
        sizes.append({item->sizeHint(), item->minimumSize(), item->maximumSize(), item->isEmpty()});
    }
    return sizes;
}

void PanelGrid_t::setGeometry(const QRect &rect) {
    // The grid's spacing and margins are the style's and fixed; its children's
    // sizes and its own rectangle decide where everything goes.
    QList<ItemSize_t> sizes = _ItemSizes();
    if (rect == placedIn && sizes == placedSizes) {
        QLayout::setGeometry(rect);
        return;
    }
    QGridLayout::setGeometry(rect);
    placedIn = rect;
    placedSizes = std::move(sizes);
}
