// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

class ItemView_t;

// What assistive technology learns of a panel beyond what Qt tells of any
// widget: its name tells the kind and the node, and its description says when
// the node was last heard and whether it answered the last probe. Both are
// built when they are asked for, from the panel's labels and the clock.
class PanelAccessible_t : public QAccessibleWidget {
public:
    explicit PanelAccessible_t(ItemView_t *panel);

    QString text(QAccessible::Text t) const override;

    // Makes every panel's accessible interface one of these; the window
    // calls it at start, and later calls do nothing.
    static void _Install();
};
