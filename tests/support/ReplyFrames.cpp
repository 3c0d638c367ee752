#include "ReplyFrames.h"

namespace {

void AppendBigEndian(QByteArray& bytes, quint32 value, int width)
{
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        bytes += char(value >> shift);
}

} // namespace

QByteArray ReplyFrames::Acknowledge(int id, int y, int x)
{
    QByteArray bytes;
    bytes += char(0xFF);
    bytes += char(0x01);
    bytes += char(id);
    bytes += char(0x00);
    bytes += char(y);
    bytes += char(x);
    bytes += char(0x00);
    return bytes;
}

QByteArray ReplyFrames::DoseCount(int id, int count, int tag)
{
    QByteArray bytes;
    bytes += char(0xFF);
    bytes += char(0x02);
    bytes += char(tag);
    AppendBigEndian(bytes, quint32(id), 2);
    AppendBigEndian(bytes, quint32(count), 3);
    char check = 0;
    for (int i = 1; i < bytes.size(); ++i)
        check ^= bytes[i];
    bytes += check;
    return bytes;
}

QByteArray ReplyFrames::Coefficients(int id, qint32 v1, qint32 v2, qint32 v3)
{
    QByteArray bytes("\x00\x00\x00\x00\xFF\x0D", 6);
    bytes += char(id);
    AppendBigEndian(bytes, quint32(v1), 4);
    AppendBigEndian(bytes, quint32(v2), 4);
    AppendBigEndian(bytes, quint32(v3), 4);
    return bytes;
}
