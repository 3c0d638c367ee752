#ifndef DOSEGATE_ALARMLEVELS_H
#define DOSEGATE_ALARMLEVELS_H

#include <QSettings>
#include <QString>

#include <array>

// Each node's alarm level in μSv/h, kept per controller address
// ("host:port") in a settings file: the threshold a node acknowledged to
// this console, and one the operator typed. The acknowledged one is in
// force when there is one. A level of 0 is none.
class AlarmLevels
{
public:
    static constexpr int kMaxId = 255;

    explicit AlarmLevels(const QString& fileName);

    // Loads the levels of that controller; later changes are kept under it.
    void SetController(const QString& address);
    QString Controller() const { return m_sController; }

    double Acknowledged(int id) const;
    double Typed(int id) const;
    double InForce(int id) const;
    void SetAcknowledged(int id, double level);
    void SetTyped(int id, double level);

private:
    static bool IsId(int id) { return id >= 1 && id <= kMaxId; }
    void Store(int id, const char* key, double level);

    QSettings m_settings;
    QString m_sController;
    std::array<double, kMaxId + 1> m_acknowledged {};
    std::array<double, kMaxId + 1> m_typed {};
};

#endif
