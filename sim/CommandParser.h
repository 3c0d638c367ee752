#ifndef DOSEGATE_SIM_COMMANDPARSER_H
#define DOSEGATE_SIM_COMMANDPARSER_H

#include "CommandFrame.h"

#include <QByteArray>
#include <QString>

// Cuts the console's commands out of a byte stream that TCP may split
// anywhere. Enveloped commands are checked byte for byte; the one frame the
// console sends without an envelope, the fixed dose frame, is the dose
// request. A bad frame is reported once, then skipped by resynchronising on
// the next frame marker after its first byte.
class CommandParser
{
public:
    struct Item {
        bool rejected = false;
        CommandFrame command = CommandFrame::DoseRequest();
        QString reason; // why a frame was rejected
    };

    void Feed(const QByteArray& bytes);
    // The next command or rejection; false while more bytes are needed.
    bool Next(Item& item);
    int Buffered() const { return m_buffer.size() - m_nHead; }

    // The inner length a command code always has, or -1 for unknown codes.
    static int InnerLengthOf(quint8 code);

private:
    enum class Outcome { NeedMore, Taken, Rejected };
    enum class Match { None, Partial, Full };

    bool SkipToMarker();
    Outcome TakeEnvelope(Item& item);
    Outcome CheckHeader(int available, int length, QString& reason) const;
    Outcome CheckChecks(int length, QString& reason) const;
    Outcome TakeDoseRequest(Item& item);
    Match MatchDoseRequest(int at) const;
    quint8 At(int offset) const { return quint8(m_buffer[m_nHead + offset]); }
    void Drop(int count);

    QByteArray m_buffer;
    int m_nHead = 0;
    bool m_bSkipping = false;
};

#endif
