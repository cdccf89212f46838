// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>

// The bytes of one fuzz input, consumed from the front. Past the end every
// byte reads as 0, so that any input, however short, is a valid program.
class FuzzInput_t {
public:
    FuzzInput_t(const uint8_t *data, size_t size)
        : data(data)
        , size(size) {}

    bool _AtEnd() const { return position >= size; }
    uint8_t _Byte() { return _AtEnd() ? 0 : data[position++]; }
    uint16_t _U16() {
        const uint16_t low = _Byte();
        return uint16_t(low | _Byte() << 8);
    }
    // Up to `count` bytes, fewer where the input ends.
    QByteArray _Bytes(size_t count);

private:
    const uint8_t *data;
    size_t size;
    size_t position = 0;
};

// A datagram in a heap block of exactly its own size, so that AddressSanitizer
// reports a read of even one byte past its end. QByteArray's own buffers keep
// slack and a terminating zero, which would hide such a read.
class ExactDatagram_t {
public:
    explicit ExactDatagram_t(const QByteArray &bytes);

    // Refers to the block; valid while this object lives.
    const QByteArray &_Datagram() const { return datagram; }

private:
    std::unique_ptr<char[]> block;
    QByteArray datagram;
};
