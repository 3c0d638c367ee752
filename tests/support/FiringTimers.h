#ifndef DOSEGATE_FIRINGTIMERS_H
#define DOSEGATE_FIRINGTIMERS_H

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

// Notes every QTimer of the given period that fires while it lives, so a
// test can tell at once that a periodic action was stopped instead of
// waiting out a period to see that nothing more comes.
class FiringTimers : public QObject
{
public:
    explicit FiringTimers(int intervalMs, QObject* parent = nullptr);
    ~FiringTimers() override;

    int Count() const { return m_timers.size(); }
    bool AnyActive() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_nIntervalMs;
    QList<QPointer<QTimer>> m_timers;
};

#endif
