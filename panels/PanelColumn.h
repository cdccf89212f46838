// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include <set>

// The main window's column of panels: a QVBoxLayout whose work does not grow
// with the number of panels.
//
// A plain QVBoxLayout recomputes and re-places every panel whenever any of
// them changes, so with thousands of panels each report and each new panel
// cost time in proportion to their number. This column keeps what it knows of
// each panel and, when told which panel changed (a panel's grid tells it, see
// PanelGrid_t), updates only that panel's entry; it propagates a change to the
// window only when the column's own size changes, and places only the panels
// whose place changed.
//
// The result is that of a QVBoxLayout for the column the main window has: a
// stack of fixed-height panels in a container whose height is always exactly
// the stack's (fixed vertical size policy in a resizable scroll area). A taller
// rectangle leaves the space below the last panel empty instead of spreading
// the panels; a shorter one, which the scroll area gives only for the moment
// before it grows the container, does not squeeze them.
class PanelColumn_t : public QVBoxLayout {
    Q_OBJECT

public:
    PanelColumn_t();

    // Adds a panel at the bottom. Panels added while the column is on screen
    // are shown together once the event loop is back, and while they keep
    // coming, at most every `ShowingIntervalMs`: Qt places a widget's parent
    // afresh each time one is shown, and each showing and each frame drawn
    // costs time in proportion to the number of panels already there. Showing
    // many takes turns of at most `ShowingSliceMs`, so that datagrams are read
    // in between.
    void _Append(QWidget *panel);
    static constexpr int ShowingIntervalMs = 100;
    static constexpr int ShowingSliceMs = 15;

    // The panel's content may have changed size: its entry is brought up to
    // date when the column next hears from the panel.
    void _PanelChanging(QWidget *panel);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return false; }
    void setGeometry(const QRect &rect) override;
    void invalidate() override;

private:
    // What the column needs of one panel, as its layout item reports it.
    struct Entry_t {
        QLayoutItem *item = nullptr;
        bool shown = false; // a hidden panel takes no room and no spacing
        int height = 0;
        int hintWidth = 0;
        int minimumWidth = 0;
        int maximumWidth = 0;
        Qt::Orientations expanding;
        int top = 0; // place in the stack, valid up to `firstUnstacked`

        bool operator==(const Entry_t &other) const;
    };

    Entry_t _Measure(QLayoutItem *item, const Entry_t *before = nullptr) const;
    void _Count(const Entry_t &entry, int sign);
    // Brings the entries up to date; true when the column's size or the place
    // of any panel changed.
    bool _Refresh();
    void _Update(int index);
    void _Rebuild();
    void _ShowAppended();
    void _ShowNextBatch();
    void _Stack();
    int _Gap() const;
    int _StackHeight() const;
    QSize _MinimumContent() const;
    QSize _WithMargins(const QSize &content) const;

    QList<Entry_t> entries;
    QHash<const QWidget *, int> panelIndex;
    QSet<QWidget *> changing;
    QList<QPointer<QWidget>> toShow;     // the next batch
    QList<QPointer<QWidget>> showingNow; // what is left of this one
    QTimer showing;
    QElapsedTimer batchStarted;

    // Counts of the shown panels' widths and expanding directions, so that the
    // column's own size follows from them at once.
    std::multiset<int> hintWidths;
    std::multiset<int> minimumWidths;
    std::multiset<int> maximumWidths;
    int shownCount = 0;
    int shownHeights = 0;
    int horizontalExpanding = 0;
    int verticalExpanding = 0;

    QMargins margins;
    int gap = 0;
    int firstUnstacked = 0; // entries from here on need their top recomputed
    int firstUnplaced = 0;  // entries from here on need their geometry set
    QRect placedIn;         // the contents rectangle of the last placing
};
