#ifndef DOSEGATE_LINKCOMMAND_H
#define DOSEGATE_LINKCOMMAND_H

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// One command to a node: its code, its target and the values its payload
// carries. The encoder builds its frames from one; whatever reads a frame
// back (the records, the simulator) decodes it into one, so the payload's
// layout is known here alone.
class LinkCommand
{
public:
    LinkCommand() = default; // none

    // Values in the command's own terms: the threshold; the switch, id,
    // language, precision, unit, alarm test, address or step count; the
    // three detector parameters; the three coefficients. Each is cut as the
    // wire cuts it (a step count of 300 is 44, a coefficient of 0.57 is
    // 0.5699); a code that is no command gives none.
    LinkCommand(int code, int target, const QVector<double>& values);

    // The command of an envelope (A4 length inner check) or of the payload
    // of an inner frame; none when the code is no command or the payload is
    // short. Checks are not verified.
    static LinkCommand FromEnvelope(const QByteArray& envelope);
    static LinkCommand FromPayload(int code, int target, const QByteArray& payload);
    // The length of the command's inner frame, or -1 for a code that is no
    // command.
    static int InnerLengthOf(int code);

    bool IsValid() const { return m_nCode != 0; }
    quint8 Code() const { return m_nCode; }
    // The node id; the current slave address for an address change.
    quint8 Target() const { return m_nTarget; }
    QVector<double> Values() const;
    // The i-th value, 0 when the command has none there.
    double Value(int i) const;

    // Four zero bytes, 0xFF, code, target, payload, check.
    QByteArray Inner() const;

private:
    quint8 m_nCode = 0;
    quint8 m_nTarget = 0;
    QByteArray m_payload;
};

#endif
