// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The directory the program runs in: the executable's own directory, or its
// parent when that directory is a build configuration's output (debug or
// release, in any case). Returns an absolute path.
QString _WorkingDirectoryFor(const QString &executableDirectory);
