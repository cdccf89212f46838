// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QObject;
class QString;

// Loads one of the program's modules, which hold what a start need not load:
// the history window, the site's MQTT client. Looked for beside the program
// (its build folder), where it is installed (a path from the program's
// folder), then in the library paths, which tests add their build folder to;
// each folder once.
namespace ModuleLoader {

// The instance of the module `name` (ternix36-history: ternix36-history.so,
// or .dll on Windows), loaded once and kept: the code of what it makes
// lives in it. nullptr, with why in `error` (the file and each folder looked
// in, or the loader's reason), when it cannot be loaded; `what` names it.
QObject *_Instance(const char *name, const QString &what, QString *error);

} // namespace ModuleLoader
