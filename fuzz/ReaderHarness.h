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
//
// The same input is also read as a report that a bridge passed through a
// broker (SiteReport_t): what it accepts is a datagram of a header's length
// to the longest, from a payload of at most the longest payload, and writing
// it out and reading it again gives the same report.
QString _CheckReportReader(const uint8_t *data, size_t size);
