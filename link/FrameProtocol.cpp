#include "FrameProtocol.h"

#include <QCoreApplication>
#include <QString>
#include <QTime>

#include <cmath>

namespace FrameProtocol {

const char kFixedDoseFrame[kFixedDoseFrameLength] = {
    char(0xFF), 0x02, char(0xCC), 0x00, 0x59, 0x00, 0x00, 0x0E, char(0x99)
};

const DetectorParameters kDetectorTypes[kDetectorTypeCount] = {
    { 2000, 450, 22 }, // DT-B
    { 6600, 700, 61 }, // DT-C
    { 8100, 210, 11 }, // DT-D
    { 1000, 100, 4 }   // DT-A
};

quint8 XorOf(const char* data, int len)
{
    quint8 check = 0;
    for (int i = 0; i < len; ++i)
        check ^= quint8(data[i]);
    return check;
}

qint32 ScaleCoefficient(double coefficient)
{
    const double scaled = std::trunc(coefficient * kCoefficientScale);
    if (!(std::fabs(scaled) < 9.0e18)) // NaN or beyond 64 bits
        return 0;
    return qint32(quint32(qint64(scaled)));
}

double DoseOfCount(int count)
{
    return count * kDosePerCount;
}

QString FormatDoseLine(int id, int count, int tag, const QTime& time)
{
    return QString::number(id) + QLatin1String(".   ")
        + time.toString(QStringLiteral("hh:mm:ss")) + QLatin1String(".    ")
        + QString::number(DoseOfCount(count), 'f', 4) // shows one count exactly
        + QLatin1String("   ") + QCoreApplication::translate("FrameProtocol", "count:") + QLatin1Char(' ')
        + QString::number(tag);
}

} // namespace FrameProtocol
