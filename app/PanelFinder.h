// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class ItemView_t;

// Which panel, in column order, a text names: one whose node name or address
// contains it, ignoring case.
class PanelFinder_t {
public:
    explicit PanelFinder_t(const QList<ItemView_t *> &panels)
        : panels(panels) {}

    // The first match at or after `from` when `step` is 1, at or before it
    // when -1, wrapping round the column; -1 when none matches.
    int _Find(const QString &text, int from, int step) const;

private:
    const QList<ItemView_t *> &panels;
};
