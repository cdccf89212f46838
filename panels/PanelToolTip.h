// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

// Shows a panel's last-heard text as the tooltip of its title, name, address
// and mark, built from the clock at the moment the tooltip is asked for. One
// filter for all panels, installed on each: a label without a tooltip of its
// own passes the request on to its panel.
class PanelToolTip_t : public QObject {
public:
    static PanelToolTip_t *_Instance();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
