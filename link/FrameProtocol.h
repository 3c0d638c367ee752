#ifndef DOSEGATE_FRAMEPROTOCOL_H
#define DOSEGATE_FRAMEPROTOCOL_H

#include <QtGlobal>

class QString;
class QTime;

// Every byte that crosses the link to the controller. Commands travel as an
// inner frame (00 00 00 00 FF code target payload check) in an envelope
// (A4 length inner check); replies carry no envelope.
namespace FrameProtocol {

constexpr quint8 kEnvelopeMarker = 0xA4;
constexpr quint8 kFrameMarker = 0xFF;
constexpr int kZeroPrefixLength = 4;
constexpr int kInnerHeaderLength = 7; // zero prefix, marker, code, target
constexpr int kEnvelopeOverhead = 3;  // marker, length, envelope check
constexpr int kMaxInnerLength = 20;

enum Command : quint8 {
    CmdSetThreshold = 0x01,
    CmdSetDisplaySwitch = 0x02,
    CmdSetDetectorParameters = 0x03,
    CmdChangeNodeId = 0x05,
    CmdSetLanguage = 0x06,
    CmdSetPrecision = 0x07,
    CmdSetCalibrationCoefficients = 0x0A,
    CmdGetCalibrationCoefficients = 0x0D,
    CmdSetDisplayUnit = 0x0E,
    CmdSetAlarmTest = 0x0F,
    CmdChangeSlaveAddress = 0x11,
    CmdPotentiometerDown = 0x1F,
    CmdPotentiometerUp = 0x2F
};

// Byte 1 of a reply that starts with 0xFF.
enum FrameType : quint8 {
    FrameAcknowledge = 0x01,
    FrameDoseCount = 0x02
};

// The x of an acknowledgement: what the node has taken over.
enum ReplyType {
    ReplyThreshold = 1,
    ReplySwitches = 2,
    ReplyDetectorParameters = 3,
    ReplyNodeId = 5,
    ReplyLanguage = 6,
    ReplyPrecision = 7,
    ReplyCoefficients = 10,
    ReplyPotentiometerUp = 11,
    ReplyPotentiometerDown = 12,
    ReplyDisplayUnit = 14,
    ReplyAlarmTest = 15
};

constexpr int kAcknowledgeLength = 7;
constexpr int kDoseCountLength = 9;
constexpr int kCoefficientReplyLength = 19;
// A coefficient reply is recognised by this byte at offset 5 alone.
constexpr int kCoefficientMarkOffset = 5;

constexpr double kDosePerCount = 0.0056; // μSv/h per counted pulse
constexpr double kCoefficientScale = 10000.0;

// The dose request: a dose-count frame for id 89, count 14, tag 204, sent
// without an envelope.
constexpr int kFixedDoseFrameLength = 9;
extern const char kFixedDoseFrame[kFixedDoseFrameLength];

struct DetectorParameters {
    quint16 p1;
    quint16 p2;
    quint16 p3;
};
// In the order of the form's type list: DT-B, DT-C, DT-D, DT-A.
constexpr int kDetectorTypeCount = 4;
extern const DetectorParameters kDetectorTypes[kDetectorTypeCount];

quint8 XorOf(const char* data, int len);

// A coefficient as it travels: times 10000, truncated toward zero, cut to
// 32 bits (0.57 goes out as 5699).
qint32 ScaleCoefficient(double coefficient);

double DoseOfCount(int count);

// "id.   hh:mm:ss.    dose   count: tag", the live dose line.
QString FormatDoseLine(int id, int count, int tag, const QTime& time);

} // namespace FrameProtocol

#endif
