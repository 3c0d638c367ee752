#ifndef DOSEGATE_SIM_COMMANDFRAME_H
#define DOSEGATE_SIM_COMMANDFRAME_H

#include "LinkCommand.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One complete, validated command as the console sent it.
class CommandFrame
{
public:
    enum class Kind { Enveloped, DoseRequest };

    static CommandFrame DoseRequest();
    static CommandFrame Enveloped(quint8 code, quint8 target, const QByteArray& payload);

    Kind kind() const { return m_kind; }
    quint8 code() const { return m_code; }
    // The node id, or the slave address for a slave address change.
    quint8 target() const { return m_target; }
    const QByteArray& payload() const { return m_payload; }

    // The command's values as the link decodes them; 0 where it has none.
    double Value(int i) const { return m_command.Value(i); }

    // "node 1 set threshold 1.50", for the command log.
    QString Describe() const;

private:
    CommandFrame(Kind kind, quint8 code, quint8 target, const QByteArray& payload);

    QString Action() const;
    QString DetectorParametersText() const;
    QString CoefficientsText() const;

    Kind m_kind;
    quint8 m_code;
    quint8 m_target;
    QByteArray m_payload;
    LinkCommand m_command;
};

#endif
