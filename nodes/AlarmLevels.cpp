#include "AlarmLevels.h"

#include <cmath>

namespace {

const char* const kAcknowledgedKey = "acknowledged";
const char* const kTypedKey = "typed";

// Anything but a positive finite number is no level.
double Level(double level)
{
    return std::isfinite(level) && level > 0.0 ? level : 0.0;
}

// A group per controller; QSettings escapes the address's colons and dots
// itself, but a slash would open a group of its own.
QString GroupOf(const QString& address)
{
    return QStringLiteral("controllers/") + QString(address).replace(QLatin1Char('/'), QLatin1Char('_'));
}

} // namespace

AlarmLevels::AlarmLevels(const QString& fileName)
    : m_settings(fileName, QSettings::IniFormat)
{
}

void AlarmLevels::SetController(const QString& address)
{
    m_sController = address;
    m_acknowledged.fill(0.0);
    m_typed.fill(0.0);
    m_settings.beginGroup(GroupOf(address));
    for (const QString& node : m_settings.childGroups()) {
        bool ok = false;
        const int id = node.toInt(&ok);
        if (!ok || !IsId(id))
            continue;
        m_acknowledged[std::size_t(id)] = Level(m_settings.value(node + QLatin1Char('/') + kAcknowledgedKey).toDouble());
        m_typed[std::size_t(id)] = Level(m_settings.value(node + QLatin1Char('/') + kTypedKey).toDouble());
    }
    m_settings.endGroup();
}

double AlarmLevels::Acknowledged(int id) const
{
    return IsId(id) ? m_acknowledged[std::size_t(id)] : 0.0;
}

double AlarmLevels::Typed(int id) const
{
    return IsId(id) ? m_typed[std::size_t(id)] : 0.0;
}

double AlarmLevels::InForce(int id) const
{
    const double acknowledged = Acknowledged(id);
    return acknowledged > 0.0 ? acknowledged : Typed(id);
}

void AlarmLevels::SetAcknowledged(int id, double level)
{
    if (!IsId(id))
        return;
    m_acknowledged[std::size_t(id)] = Level(level);
    Store(id, kAcknowledgedKey, Level(level));
}

void AlarmLevels::SetTyped(int id, double level)
{
    if (!IsId(id))
        return;
    m_typed[std::size_t(id)] = Level(level);
    Store(id, kTypedKey, Level(level));
}

// Written through at once: levels change seldom, and one set just before a
// crash must not be lost. Without a controller there is no group to keep
// them in yet.
void AlarmLevels::Store(int id, const char* key, double level)
{
    if (m_sController.isEmpty())
        return;
    const QString name = GroupOf(m_sController) + QLatin1Char('/') + QString::number(id) + QLatin1Char('/') + key;
    if (level > 0.0)
        m_settings.setValue(name, level);
    else
        m_settings.remove(name);
    m_settings.sync();
}
