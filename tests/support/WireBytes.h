#ifndef DOSEGATE_WIREBYTES_H
#define DOSEGATE_WIREBYTES_H

#include <QByteArray>
#include <QTcpSocket>
#include <QTest>

// Bytes as tests write them down ("A4 08 00 ..."), and as they arrive.
inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// At least `count` bytes from the socket, or what came within 5 s: a short
// answer makes the caller's comparison fail.
inline QByteArray ReadAtLeast(QTcpSocket& socket, int count)
{
    QByteArray bytes;
    static_cast<void>(QTest::qWaitFor([&] {
        bytes += socket.readAll();
        return bytes.size() >= count;
    }, 5000));
    return bytes;
}

#endif
