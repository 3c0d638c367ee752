#include "NodeSchedule.h"

#include <QStringList>

#include <cmath>

namespace {

constexpr int kMaxId = 255;
constexpr double kMaxSeconds = 1e6;
constexpr double kMaxRate = 1e7; // μSv/h, as --dose-rate
constexpr double kMsPerSecond = 1000.0;

// Three fields: an id from 1 to 255 and two numbers within their bounds.
bool Split(const QString& text, const char* shape, double secondMinimum, double thirdMaximum, int& id,
           double& second, double& third, QString& error)
{
    const QStringList fields = text.split(QLatin1Char(':'));
    bool idOk = false, secondOk = false, thirdOk = false;
    if (fields.size() == 3) {
        id = fields[0].toInt(&idOk);
        second = fields[1].toDouble(&secondOk);
        third = fields[2].toDouble(&thirdOk);
    }
    if (!idOk || id < 1 || id > kMaxId || !secondOk || !std::isfinite(second) || second < secondMinimum
        || second > kMaxSeconds || !thirdOk || !std::isfinite(third) || third < 0.0 || third > thirdMaximum) {
        error = QStringLiteral("\"%1\" is not %2").arg(text, QLatin1String(shape));
        return false;
    }
    return true;
}

qint64 Ms(double seconds)
{
    return qint64(std::llround(seconds * kMsPerSecond));
}

} // namespace

bool NodeSchedule::AddSilence(const QString& text, QString& error)
{
    int id = 0;
    double after = 0.0, length = 0.0;
    if (!Split(text, "ID:AFTER:FOR (an id from 1 to 255, seconds, seconds above 0)", 0.0, kMaxSeconds, id, after,
               length, error))
        return false;
    if (length <= 0.0) {
        error = QStringLiteral("\"%1\": a silence lasts more than 0 s").arg(text);
        return false;
    }
    m_silences.append({ quint8(id), Ms(after), Ms(after + length) });
    return true;
}

bool NodeSchedule::AddStep(const QString& text, QString& error)
{
    int id = 0;
    double at = 0.0, rate = 0.0;
    if (!Split(text, "ID:AT:RATE (an id from 1 to 255, seconds, uSv/h)", 0.0, kMaxRate, id, at, rate, error))
        return false;
    m_steps.append({ quint8(id), Ms(at), rate });
    return true;
}

bool NodeSchedule::Silent(quint8 id, qint64 ms) const
{
    for (const Silence& silence : m_silences) {
        if (silence.id == id && ms >= silence.fromMs && ms < silence.untilMs)
            return true;
    }
    return false;
}

double NodeSchedule::RateAt(quint8 id, qint64 ms, double rate) const
{
    qint64 newest = -1;
    for (const Step& step : m_steps) {
        if (step.id == id && step.atMs <= ms && step.atMs >= newest) {
            newest = step.atMs;
            rate = step.rate;
        }
    }
    return rate;
}

QList<quint8> NodeSchedule::Ids() const
{
    QList<quint8> ids;
    for (const Silence& silence : m_silences)
        ids << silence.id;
    for (const Step& step : m_steps)
        ids << step.id;
    return ids;
}
