#ifndef DOSEGATE_SIM_SIGNALWATCHER_H
#define DOSEGATE_SIM_SIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal: the handler only writes the
// signal number to a pipe, and the event loop reads it from there.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void Caught(int signalNumber);

private slots:
    void ReadPipe();

private:
    static void OnSignal(int signalNumber);

    QSocketNotifier* m_pNotifier;
};

#endif
