// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGridLayout>
#include <QList>

// A panel's grid.
//
// Whenever something in it may change size, it tells the column the panel
// stands in, so that the column looks at this panel alone. And when a report
// changes texts without changing any widget's size, it leaves every widget
// where it is rather than placing them all again, which would also make the
// next repaint of the window look at every panel in the column.
//
// It also sums up what its rows need, so that a panel can tell whether its
// kind's height still holds its texts at the font now in force.
class PanelGrid_t : public QGridLayout {
public:
    void invalidate() override;
    void setGeometry(const QRect &rect) override;

    // The height the grid and its panel's margins take when each row holds
    // its widgets' letters (`wholeLines` false) or their whole lines and
    // fixed sizes (true).
    int _Height(bool wholeLines) const;

private:
    struct ItemSize_t {
        QSize hint;
        QSize minimum;
        QSize maximum;
        bool empty;
        bool operator==(const ItemSize_t &other) const {
            return hint == other.hint && minimum == other.minimum && maximum == other.maximum &&
                   empty == other.empty;
        }
    };
    QList<ItemSize_t> _ItemSizes() const;

    QRect placedIn;
    QList<ItemSize_t> placedSizes;
};
