#ifndef DOSEGATE_PACER_H
#define DOSEGATE_PACER_H

#include <QObject>
#include <QTimer>

// Paces screen work that a flood would ask for thousands of times a
// second: Due comes at once for a request after a quiet period, otherwise
// once at the end of the period, however many requests came within it, so
// what is shown then is the newest. Idle, it holds no timer running.
class Pacer : public QObject
{
    Q_OBJECT

public:
    explicit Pacer(int periodMs, QObject* parent = nullptr);

    bool Pending() const { return m_bPending; }

public slots:
    void Request();
    // A pending request is served now, for whoever reads what it shows.
    void Flush();

signals:
    void Due();

private slots:
    void PeriodEnded();

private:
    void Serve();

    QTimer m_timer;
    bool m_bPending;
};

#endif
