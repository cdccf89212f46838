// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Before a changed widget is repainted, Qt looks at each of its siblings
// stacked above it for an opaque one that would hide it. A label in a panel
// thus costs a look at every later panel in the column, for every label that
// changes, so repainting grows with the number of panels. Panels never
// overlap, so the search never finds anything: this turns it off with Qt's
// own switch, unless the user has set that switch already. Call it before
// the application object is created.
void _SkipSearchForOpaqueSiblings();
