#include "CommandFrame.h"

#include "FrameProtocol.h"

#include <initializer_list>

using namespace FrameProtocol;

namespace {

const char* const kDetectorTypeNames[kDetectorTypeCount] = { "DT-B", "DT-C", "DT-D", "DT-A" };

QString Named(int value, std::initializer_list<const char*> names)
{
    if (value >= 0 && value < int(names.size()))
        return QLatin1String(names.begin()[value]);
    return QStringLiteral("code %1").arg(value);
}

} // namespace

CommandFrame::CommandFrame(Kind kind, quint8 code, quint8 target, const QByteArray& payload)
    : m_kind(kind)
    , m_code(code)
    , m_target(target)
    , m_payload(payload)
    , m_command(LinkCommand::FromPayload(code, target, payload))
{
}

CommandFrame CommandFrame::DoseRequest()
{
    return CommandFrame(Kind::DoseRequest, 0, 0, QByteArray());
}

CommandFrame CommandFrame::Enveloped(quint8 code, quint8 target, const QByteArray& payload)
{
    return CommandFrame(Kind::Enveloped, code, target, payload);
}

QString CommandFrame::Describe() const
{
    if (m_kind == Kind::DoseRequest)
        return QStringLiteral("dose request");
    const QString who = m_code == CmdChangeSlaveAddress ? QStringLiteral("address %1") : QStringLiteral("node %1");
    return who.arg(m_target) + QLatin1Char(' ') + Action();
}

QString CommandFrame::Action() const
{
    // A value no int holds (a garbled frame) is named as 0, not converted.
    const double first = Value(0);
    const int value = first > -2e9 && first < 2e9 ? int(first) : 0;
    switch (m_code) {
    case CmdSetThreshold:
        return QStringLiteral("set threshold %1").arg(Value(0), 0, 'f', 2);
    case CmdSetDisplaySwitch:
        return QStringLiteral("set display switch ") + Named(value, { "off", "on" });
    case CmdSetDetectorParameters:
        return DetectorParametersText();
    case CmdChangeNodeId:
        return QStringLiteral("change node id to %1").arg(value);
    case CmdSetLanguage:
        return QStringLiteral("set language ") + Named(value, { "Chinese", "English" });
    case CmdSetPrecision:
        return QStringLiteral("set precision ") + Named(value, { "two digits", "three digits" });
    case CmdSetCalibrationCoefficients:
        return CoefficientsText();
    case CmdGetCalibrationCoefficients:
        return QStringLiteral("get calibration coefficients");
    case CmdSetDisplayUnit:
        return QStringLiteral("set display unit ") + Named(value, { "Gy", "Rad", "Sv" });
    case CmdSetAlarmTest:
        return QStringLiteral("set alarm test ") + Named(value, { "off", "on" });
    case CmdChangeSlaveAddress:
        return QStringLiteral("change slave address to %1").arg(value);
    case CmdPotentiometerDown:
        return QStringLiteral("potentiometer down %1 steps").arg(value);
    case CmdPotentiometerUp:
        return QStringLiteral("potentiometer up %1 steps").arg(value);
    }
    return QStringLiteral("command 0x%1").arg(m_code, 2, 16, QLatin1Char('0'));
}

QString CommandFrame::DetectorParametersText() const
{
    const quint16 p1 = quint16(Value(0)), p2 = quint16(Value(1)), p3 = quint16(Value(2));
    QString type = QStringLiteral("unlisted type");
    for (int i = 0; i < kDetectorTypeCount; ++i) {
        const DetectorParameters& known = kDetectorTypes[i];
        if (known.p1 == p1 && known.p2 == p2 && known.p3 == p3)
            type = QLatin1String(kDetectorTypeNames[i]);
    }
    return QStringLiteral("set detector parameters %1 %2 %3 (%4)").arg(p1).arg(p2).arg(p3).arg(type);
}

QString CommandFrame::CoefficientsText() const
{
    QString text = QStringLiteral("set calibration coefficients");
    for (int i = 0; i < 3; ++i)
        text += QStringLiteral(" %1").arg(Value(i), 0, 'f', 4);
    return text;
}
