#ifndef DOSEGATE_REPLYFRAMES_H
#define DOSEGATE_REPLYFRAMES_H

#include <QByteArray>

// Reply frames as the controller sends them, built from their byte layout
// independently of the decoder under test.
class ReplyFrames
{
public:
    static QByteArray Acknowledge(int id, int y, int x);
    static QByteArray DoseCount(int id, int count, int tag);
    // The 19 bytes the console examines: five unexamined bytes, 0x0D, the
    // id and three coefficients times 10000.
    static QByteArray Coefficients(int id, qint32 v1, qint32 v2, qint32 v3);
};

#endif
