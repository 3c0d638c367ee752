#ifndef DOSEGATE_SIMPROCESS_H
#define DOSEGATE_SIMPROCESS_H

#include <QProcess>
#include <QStringList>

// The controller simulator as a separate process on a free loopback port.
class SimProcess
{
public:
    explicit SimProcess(const QStringList& options);
    ~SimProcess();

    // Starts it on the given port (0: a free one); false when it does not
    // come up listening.
    bool Start(quint16 port = 0);
    void Kill();

    quint16 Port() const { return m_nPort; }
    // Everything it printed so far: one line per received command.
    QString Output();

private:
    QStringList m_options;
    QProcess m_process;
    QString m_output;
    quint16 m_nPort = 0;
};

#endif
