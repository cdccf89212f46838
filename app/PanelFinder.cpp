// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PanelFinder.h"

#include "panels/ItemView.h"

int PanelFinder_t::_Find(const QString &text, int from, int step) const {
    const int count = int(panels.size());
    if (text.isEmpty() || count == 0)
        return -1;
    from = ((from % count) + count) % count;
    for (int i = 0; i < count; ++i) {
        const int index = ((from + i * step) % count + count) % count;
        const ItemView_t *panel = panels[index];
        if (panel->_NodeNameText().contains(text, Qt::CaseInsensitive) ||
            panel->_AddressText().contains(text, Qt::CaseInsensitive))
            return index;
    }
    return -1;
}
