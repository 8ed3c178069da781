#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// What the fuzzers share: turning libFuzzer's bytes into the parsers' inputs, and stopping on a
// broken promise so that libFuzzer keeps the input that broke it.
namespace qw::fuzz {

inline void require(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The input's lines as fields, so that a seed can be written by hand: the first `count - 1`
// lines, then everything after them as the last field (which may hold line breaks itself).
inline QList<QByteArray> fields(const uint8_t* data, size_t size, int count)
{
    QList<QByteArray> result;
    QByteArray rest = bytes(data, size);
    while (result.size() < count - 1) {
        const qsizetype end = rest.indexOf('\n');
        if (end < 0)
            break;
        result.append(rest.left(end));
        rest.remove(0, end + 1);
    }
    result.append(rest);
    while (result.size() < count)
        result.append(QByteArray());
    return result;
}

// Raw UTF-16 code units (little-endian), unpaired surrogates and all: what another
// application's text may hold, which no UTF-8 decoding would produce.
inline QString utf16(const QByteArray& raw)
{
    // Copied rather than cast: libFuzzer's bytes need not be aligned for QChar.
    QString text(raw.size() / 2, Qt::Uninitialized);
    std::memcpy(text.data(), raw.constData(), size_t(text.size()) * sizeof(QChar));
    return text;
}

} // namespace qw::fuzz
