// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <memory>

// Records, oldest first, in a ring that holds at most Most of them. It grows
// by doubling up to Most, so that a quiet node holds little; the caller makes
// room (takes or thins the oldest) before it appends to a full ring.
template <typename T, int Most> class HistoryRing_t {
    static_assert(Most > 0 && Most <= 0xFFFF, "the counts are 16 bits");

public:
    HistoryRing_t() = default;
    // A copy holds just what it needs: a snapshot for a window to read.
    HistoryRing_t(const HistoryRing_t &other) { *this = other; }
    HistoryRing_t &operator=(const HistoryRing_t &other) {
        if (this == &other)
            return *this;
        records.reset(other.count ? new T[other.count] : nullptr);
        for (int i = 0; i < other.count; ++i)
            records[i] = other.at(i);
        head = 0;
        count = other.count;
        capacity = other.count;
        return *this;
    }
    HistoryRing_t(HistoryRing_t &&) noexcept = default;
    HistoryRing_t &operator=(HistoryRing_t &&) noexcept = default;

    qsizetype size() const { return count; }
    bool isEmpty() const { return count == 0; }
    bool isFull() const { return count == Most; }
    // 0 is the oldest.
    const T &at(qsizetype i) const { return records[(head + i) % capacity]; }
    T &operator[](qsizetype i) { return records[(head + i) % capacity]; }
    const T &first() const { return at(0); }
    const T &last() const { return at(count - 1); }
    T &last() { return (*this)[count - 1]; }

    void append(const T &record) {
        Q_ASSERT(!isFull());
        if (count == capacity)
            _Grow();
        records[(head + count) % capacity] = record;
        ++count;
    }
    T takeFirst() {
        Q_ASSERT(!isEmpty());
        const T record = records[head];
        head = quint16((head + 1) % capacity);
        --count;
        return record;
    }
    // What the ring holds on the heap.
    qsizetype heapBytes() const { return qsizetype(capacity) * qsizetype(sizeof(T)); }

private:
    void _Grow() {
        const int grown = std::min(Most, std::max(8, 2 * int(capacity)));
        std::unique_ptr<T[]> larger(new T[grown]);
        for (int i = 0; i < count; ++i)
            larger[i] = at(i);
        records = std::move(larger);
        head = 0;
        capacity = quint16(grown);
    }

    std::unique_ptr<T[]> records;
    quint16 head = 0;
    quint16 count = 0;
    quint16 capacity = 0;
};
