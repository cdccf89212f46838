// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: ReportReader_t against a plain reading of the same bytes.

#include "fuzz/ReaderHarness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString problem = _CheckReportReader(data, size);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "fuzz_reader: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
