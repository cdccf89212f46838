// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Reads one fuzz input as a datagram with every accessor of ReportReader_t,
// at every offset around it and at the extremes of the offset type, and
// compares each result with a plain reading of the bytes: a field wholly
// inside the datagram is its little-endian value, any other reads as 0; the
// name follows the trailer rule. Returns the first disagreement, or an empty
// string.
QString _CheckReportReader(const uint8_t *data, size_t size);
