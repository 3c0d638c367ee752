#include "LocalClock.h"
#include "Pacer.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Zones written out as POSIX rules, so the test needs no zone database.
const char* const kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const kNewYork = "EST5EDT,M3.2.0,M11.1.0";

qint64 Utc(const char* iso)
{
    return QDateTime::fromString(QLatin1String(iso), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

// Sets TZ for one test and puts the old one back.
class Zone
{
public:
    explicit Zone(const char* rule)
        : m_old(qgetenv("TZ"))
        , m_bHad(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", rule);
    }
    ~Zone()
    {
        if (m_bHad)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
    }
    void Change(const char* rule) { qputenv("TZ", rule); }

private:
    QByteArray m_old;
    bool m_bHad;
};

} // namespace

class TestClock : public QObject
{
    Q_OBJECT

private slots:
    void localTimeCarriesTheZonesOffset_data();
    void localTimeCarriesTheZonesOffset();
    void zoneChangeIsFollowedAtOnce();
    void zoneIsAskedAtMostOnceASecond();
    void pacerServesABurstTwice();
};

void TestClock::localTimeCarriesTheZonesOffset_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<qint64>("utc");
    QTest::addColumn<QString>("local");

    QTest::newRow("winter") << QByteArray(kBerlin) << Utc("2026-01-15T12:00:00.250Z") << "2026-01-15T13:00:00.250+01:00";
    QTest::newRow("summer") << QByteArray(kBerlin) << Utc("2026-07-15T12:00:00.000Z") << "2026-07-15T14:00:00.000+02:00";
    QTest::newRow("last ms of winter time") << QByteArray(kBerlin) << Utc("2026-03-29T00:59:59.999Z")
                                            << "2026-03-29T01:59:59.999+01:00";
    QTest::newRow("first ms of summer time") << QByteArray(kBerlin) << Utc("2026-03-29T01:00:00.000Z")
                                             << "2026-03-29T03:00:00.000+02:00";
    QTest::newRow("back to winter time") << QByteArray(kBerlin) << Utc("2026-10-25T01:00:00.000Z")
                                         << "2026-10-25T02:00:00.000+01:00";
    QTest::newRow("west of UTC") << QByteArray(kNewYork) << Utc("2026-12-07T16:49:40.947Z")
                                 << "2026-12-07T11:49:40.947-05:00";
    QTest::newRow("UTC") << QByteArray("UTC0") << Utc("2026-12-07T16:49:40.947Z") << "2026-12-07T16:49:40.947Z";
}

// Each instant is asked of a clock that has just seen its neighbours a
// second either side, so an offset kept across a switch would show.
void TestClock::localTimeCarriesTheZonesOffset()
{
    QFETCH(QByteArray, zone);
    QFETCH(qint64, utc);
    QFETCH(QString, local);
    const Zone set(zone.constData());
    for (qint64 before : { utc - 999, utc + 999 }) {
        LocalClock clock;
        clock.Local(before);
        QCOMPARE(clock.Local(utc).toString(Qt::ISODateWithMs), local);
    }
}

void TestClock::zoneChangeIsFollowedAtOnce()
{
    Zone zone(kBerlin);
    LocalClock clock;
    const qint64 now = Utc("2026-12-07T16:49:40.000Z");
    QCOMPARE(clock.OffsetFromUtc(now), 3600);
    zone.Change(kNewYork);
    QCOMPARE(clock.OffsetFromUtc(now + 1), -5 * 3600);
    QCOMPARE(clock.Local(now + 2).time(), QTime(11, 49, 40, 2));
}

// Three seconds of readings a millisecond apart, then a time a little in
// the past, as an arrival beside the time now.
void TestClock::zoneIsAskedAtMostOnceASecond()
{
    const Zone zone(kBerlin);
    LocalClock clock;
    const qint64 start = Utc("2026-12-07T16:49:40.500Z");
    for (qint64 t = start; t < start + 3000; ++t)
        QCOMPARE(clock.OffsetFromUtc(t), 3600);
    clock.OffsetFromUtc(start + 2500);
    QVERIFY2(clock.Refreshes() <= 3, qPrintable(QString::number(clock.Refreshes())));
}

// At once for the first request, once more at the period's end for all
// the others; then nothing is left running.
void TestClock::pacerServesABurstTwice()
{
    Pacer pacer(40);
    QSignalSpy due(&pacer, SIGNAL(Due()));
    for (int i = 0; i < 1000; ++i)
        pacer.Request();
    QCOMPARE(due.count(), 1);
    QVERIFY(pacer.Pending());
    QTRY_COMPARE(due.count(), 2);
    QVERIFY(!pacer.Pending());

    // A request within a period waits for its end, unless flushed; this
    // period is long enough not to end while the test looks.
    Pacer slow(60000);
    QSignalSpy slowDue(&slow, SIGNAL(Due()));
    slow.Request();
    slow.Request();
    QCOMPARE(slowDue.count(), 1);
    slow.Flush();
    QCOMPARE(slowDue.count(), 2);
    QVERIFY(!slow.Pending());
}

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
