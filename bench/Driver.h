// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace Bench {
int RunDriver(int argc, char *argv[]);
}
