// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QWidget;

// Shows a panel's last-heard text as the tooltip of its title, name, address
// and mark, built from the clock at the moment the tooltip is asked for. One
// filter on the column of panels serves them all: a widget without a tooltip
// of its own passes the request on to its parent, and so to the column.
class PanelToolTip_t : public QObject {
public:
    explicit PanelToolTip_t(QWidget *column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *column;
};
