#pragma once

namespace Bench {
int RunDriver(int argc, char *argv[]);
}
