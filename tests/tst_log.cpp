#include "Log.h"
#include "StdoutCapture.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>
#include <ctime>

namespace {

const char* const kStampPattern = R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\]  )";

void WriteViaList(int level, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    LogPrintV(level, fmt, args);
    va_end(args);
}

void UseTimeZone(const char* tz)
{
    qputenv("TZ", tz);
    tzset();
}

} // namespace

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { UseTimeZone("UTC0"); }

    void timeStampIsLocalTime_data();
    void timeStampIsLocalTime();
    void levelNames_data();
    void levelNames();
    void lineIsStampLevelAndMessage();
    void listAndDebugFormsWriteTheSameLine();
    void messageWithoutLineEndContinuesTheLine();
    void failedCheckEndsTheProgramWithItsLine_data();
    void failedCheckEndsTheProgramWithItsLine();
};

void TestLog::timeStampIsLocalTime_data()
{
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<qint64>("when");
    QTest::addColumn<QString>("stamp");
    // 2026-01-05 09:03:07 UTC, and 08:03:07 UTC seen one hour east.
    QTest::newRow("utc") << QByteArray("UTC0") << qint64(1767603787) << "[2026-01-05 09:03:07]  ";
    QTest::newRow("one hour east") << QByteArray("XST-1") << qint64(1767600187) << "[2026-01-05 09:03:07]  ";
    QTest::newRow("new year") << QByteArray("UTC0") << qint64(1767225599) << "[2025-12-31 23:59:59]  ";
}

void TestLog::timeStampIsLocalTime()
{
    QFETCH(QByteArray, tz);
    QFETCH(qint64, when);
    QFETCH(QString, stamp);
    UseTimeZone(tz.constData());
    QCOMPARE(QString::fromStdString(LogTimeStamp(std::time_t(when))), stamp);
}

void TestLog::levelNames_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("name");
    QTest::newRow("critical") << 0 << "[Critial]  ";
    QTest::newRow("alert") << 1 << "[Alert]  ";
    QTest::newRow("warning") << 2 << "[Warning]  ";
    QTest::newRow("notice") << 3 << "[Notice]  ";
    QTest::newRow("debug") << 4 << "[Debug]  ";
    QTest::newRow("unknown high") << 7 << "[Debug]  ";
    QTest::newRow("negative") << -1 << "[Debug]  ";
}

void TestLog::levelNames()
{
    QFETCH(int, level);
    QFETCH(QString, name);
    StdoutCapture capture;
    LogPrint(level, "x\n");
    const QString line = QString::fromUtf8(capture.Finish());
    QVERIFY2(QRegularExpression(QStringLiteral("^%1%2x\n$").arg(kStampPattern, QRegularExpression::escape(name)))
                 .match(line).hasMatch(),
             qPrintable(line));
}

void TestLog::lineIsStampLevelAndMessage()
{
    StdoutCapture capture;
    const std::time_t before = std::time(nullptr);
    LogPrint(LOG_WARNING, "node %d at %.2f uSv/h\n", 3, 1.5);
    const std::time_t after = std::time(nullptr);
    const QByteArray line = capture.Finish();

    const QByteArray tail = "[Warning]  node 3 at 1.50 uSv/h\n";
    QVERIFY2(line.endsWith(tail), line.constData());
    const QByteArray stamp = line.left(line.size() - tail.size());
    QVERIFY(stamp == QByteArray::fromStdString(LogTimeStamp(before))
            || stamp == QByteArray::fromStdString(LogTimeStamp(after)));
}

void TestLog::listAndDebugFormsWriteTheSameLine()
{
    StdoutCapture capture;
    WriteViaList(LOG_NOTICE, "%s=%d\n", "count", 14);
    LogDebug("%s=%d\n", "count", 15);
    const QStringList lines = QString::fromUtf8(capture.Finish()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(QRegularExpression(QStringLiteral("^%1\\[Notice\\]  count=14$").arg(kStampPattern)).match(lines[0]).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^%1\\[Debug\\]  count=15$").arg(kStampPattern)).match(lines[1]).hasMatch());
}

void TestLog::messageWithoutLineEndContinuesTheLine()
{
    StdoutCapture capture;
    LogPrint(LOG_ALERT, "first ");
    LogPrint(LOG_ALERT, "second\n");
    const QString text = QString::fromUtf8(capture.Finish());
    QCOMPARE(text.count('\n'), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^%1\\[Alert\\]  first %1\\[Alert\\]  second\n$").arg(kStampPattern))
                .match(text).hasMatch());
}

void TestLog::failedCheckEndsTheProgramWithItsLine_data()
{
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("condition");
    QTest::newRow("plain check") << "log" << "nodes == 4";
    QTest::newRow("buffer size wrapping 32 bits") << "init" << "nPackageNum * nPackageSize <= MAX_BUFFER_SIZE";
}

void TestLog::failedCheckEndsTheProgramWithItsLine()
{
    QFETCH(QString, check);
    QFETCH(QString, condition);
    QProcess probe;
    probe.start(QStringLiteral(ASSERT_PROBE), { check });
    QVERIFY(probe.waitForFinished(10000));
    QCOMPARE(probe.exitStatus(), QProcess::CrashExit);

    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    QVERIFY2(!out.contains("still running"), qPrintable(out));
    const QRegularExpression line(QStringLiteral("^%1\\[Critial\\]  FileName: \\S+\\.cpp  Line: \\d+  Condition: %2  Comment: \n$")
                                      .arg(kStampPattern, QRegularExpression::escape(condition)));
    QVERIFY2(line.match(out).hasMatch(), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
