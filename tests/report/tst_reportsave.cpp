// Where a report can and cannot be saved, and that a failed save neither
// leaves a partial file nor harms the file it would have replaced.
#include "FileSizeLimit.h"
#include "ReportExport.h"
#include "ReportInputs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

const char kOld[] = "an earlier report\0\xff\x01 kept byte for byte";
const QByteArray kOldBytes(kOld, sizeof(kOld) - 1);

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

ReportExport::Result WriteReport(const QString& path)
{
    return ReportExport::Write(ReportInputs::Table(3), ReportInputs::kTitle, ReportInputs::Statistics(), path);
}

} // namespace

class TestReportSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void writesTheGivenName_data();
    void writesTheGivenName();
    void replacesAnExistingFile();
    void missingFolder();
    void pathIsAFolder();
    void readOnlyLocation_data();
    void readOnlyLocation();
    void failedWriteKeepsExistingFile();
    void needsNoProcessTemporaryFolder();

private:
    QTemporaryDir m_root;
    QString m_tempFolder; // the process's temporary folder during the tests
    QString m_folder;     // target folder of the current test
    QByteArray m_oldTmpDir;
    int m_nFolder = 0;
};

void TestReportSave::initTestCase()
{
    QVERIFY(m_root.isValid());
    // A temporary folder of its own, so that leftovers there can be seen.
    m_tempFolder = m_root.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_tempFolder));
    m_oldTmpDir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(m_tempFolder));
}

void TestReportSave::init()
{
    m_folder = m_root.filePath(QStringLiteral("target%1").arg(++m_nFolder));
    QVERIFY(QDir().mkpath(m_folder));
}

void TestReportSave::cleanup()
{
    qputenv("TMPDIR", QFile::encodeName(m_tempFolder));
    QCOMPARE(Entries(m_tempFolder), QStringList());
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestReportSave::cleanupTestCase()
{
    if (m_oldTmpDir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", m_oldTmpDir);
}

void TestReportSave::writesTheGivenName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << QStringLiteral("report.xlsx");
    QTest::newRow("old extension") << QStringLiteral("report.xls");
    QTest::newRow("no extension") << QStringLiteral("report");
}

void TestReportSave::writesTheGivenName()
{
    QFETCH(QString, name);
    const ReportExport::Result result = WriteReport(QDir(m_folder).filePath(name));
    QCOMPARE(result.outcome, ReportExport::Written);
    QCOMPARE(Entries(m_folder), QStringList{name});
    const QByteArray bytes = Contents(QDir(m_folder).filePath(name));
    QVERIFY(bytes.startsWith("PK\x03\x04")); // a zip package, whatever the name says
    QVERIFY(bytes.contains("xl/worksheets/sheet1.xml"));
}

void TestReportSave::replacesAnExistingFile()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("report.xlsx"));
    QVERIFY(WriteFile(path, kOldBytes));
    QCOMPARE(WriteReport(path).outcome, ReportExport::Written);
    QVERIFY(Contents(path).startsWith("PK\x03\x04"));
    QCOMPARE(Entries(m_folder), QStringList{QStringLiteral("report.xlsx")});
}

void TestReportSave::missingFolder()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("missing/report.xlsx"));
    const ReportExport::Result result = WriteReport(path);
    QCOMPARE(result.outcome, ReportExport::Failed);
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    QCOMPARE(result.message, QStringLiteral("The report could not be saved to %1: the folder %2 does not exist")
                                 .arg(QDir::toNativeSeparators(path), folder));
    QCOMPARE(Entries(m_folder), QStringList());
}

void TestReportSave::pathIsAFolder()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("report.xlsx"));
    QVERIFY(QDir().mkpath(path));
    QVERIFY(WriteFile(QDir(path).filePath(QStringLiteral("inside")), kOldBytes));
    const ReportExport::Result result = WriteReport(path);
    QCOMPARE(result.outcome, ReportExport::Failed);
    QVERIFY2(result.message.contains(QDir::toNativeSeparators(path)), qPrintable(result.message));
    QVERIFY2(result.message.contains(QLatin1String("folder")), qPrintable(result.message));
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(Entries(path), QStringList{QStringLiteral("inside")});
    QCOMPARE(Entries(m_folder), QStringList{QStringLiteral("report.xlsx")});
}

void TestReportSave::readOnlyLocation_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("process file system") << QStringLiteral("/proc");
    QTest::newRow("folder without write permission") << QString();
}

void TestReportSave::readOnlyLocation()
{
    QFETCH(QString, where);
    if (where.isEmpty()) {
        where = m_folder;
        QVERIFY(QFile::setPermissions(where, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(QDir(where).filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("permission bits do not stop this user's writes (running as root)");
        }
    } else if (!QFileInfo(where).isDir()) {
        QSKIP("no /proc here");
    }
    const QStringList before = Entries(where);
    const QString path = QDir(where).filePath(QStringLiteral("dosegate-report.xlsx"));
    const ReportExport::Result result = WriteReport(path);
    QCOMPARE(result.outcome, ReportExport::Failed);
    QVERIFY2(result.message.contains(QDir::toNativeSeparators(path)), qPrintable(result.message));
    QVERIFY(!QFileInfo::exists(path));
    if (where == m_folder)
        QCOMPARE(Entries(where), before);
}

void TestReportSave::failedWriteKeepsExistingFile()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("report.xlsx"));
    QVERIFY(WriteFile(path, kOldBytes));

    ReportExport::Result result;
    {
        // Larger than the old file, far smaller than any report.
        const FileSizeLimit limit(1024);
        QVERIFY(limit.IsSet());
        result = WriteReport(path);
    }
    QCOMPARE(result.outcome, ReportExport::Failed);
    // The system's reason, not the library's.
    QCOMPARE(result.message, QStringLiteral("The report could not be saved to %1: %2")
                                 .arg(QDir::toNativeSeparators(path), qt_error_string(EFBIG)));
    QCOMPARE(Contents(path), kOldBytes);
    QCOMPARE(Entries(m_folder), QStringList{QStringLiteral("report.xlsx")});
}

void TestReportSave::needsNoProcessTemporaryFolder()
{
    // Everything is written beside the target, so an unusable temporary
    // folder neither stops the save nor sends files elsewhere.
    qputenv("TMPDIR", QFile::encodeName(m_root.filePath(QStringLiteral("no-such-folder"))));
    const QString path = QDir(m_folder).filePath(QStringLiteral("report.xlsx"));
    const ReportExport::Result result = WriteReport(path);
    QVERIFY2(result.outcome == ReportExport::Written, qPrintable(result.message));
    QCOMPARE(Entries(m_folder), QStringList{QStringLiteral("report.xlsx")});
}

QTEST_MAIN(TestReportSave)
#include "tst_reportsave.moc"
