#include "CalibrationApproval.h"
#include "CalibrationRegister.h"
#include "CertificateWriter.h"
#include "Keyring.h"
#include "MissingTool.h"
#include "RecordStore.h"
#include "SignatureAudit.h"
#include "SigningKey.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 kMarch = 1773136800000; // 2026-03-10T10:00:00Z
constexpr qint64 kDay = 24 * 3600 * 1000;

// The console's command line, in the test's data folder.
int RunConsole(const QStringList& arguments, QString* pOutput)
{
    QProcess console;
    console.start(QStringLiteral(CONSOLE), arguments);
    console.waitForFinished(30000);
    *pOutput = QString::fromUtf8(console.readAllStandardOutput()).trimmed();
    return console.exitStatus() == QProcess::NormalExit ? console.exitCode() : -1;
}

Keyring::Key Trust(const SigningKey& key, const QDateTime& revoked = QDateTime())
{
    Keyring::Key entry;
    entry.name = key.Name();
    entry.function = key.Function();
    entry.publicKey = key.PublicKey();
    entry.from = QDate(2026, 1, 1);
    entry.until = QDate(2027, 12, 31);
    entry.revoked = revoked;
    return entry;
}

QString WriteKeyring(const QString& path, const QVector<Keyring::Key>& keys)
{
    Keyring ring;
    for (const Keyring::Key& key : keys)
        ring.Add(key);
    QFile file(path);
    const QByteArray text = ring.Text();
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? QString() : file.errorString();
}

SigningKey MadeKey(const QString& file, const QString& name, const QString& function)
{
    const QString path = QDir(SigningKey::Folder()).filePath(file);
    SigningKey key;
    if (SigningKey::Create(path, name, function, "pass").isEmpty() && key.Load(path).isEmpty())
        key.Unlock("pass");
    return key;
}

// A calibration as a person's Finish writes it, signed by them.
qint64 Performed(RecordStore& store, const SigningKey& performer)
{
    const QJsonObject point { { "stage", "as left" }, { "range", 1 }, { "time", "2026-03-10T11:40:00.000+01:00" },
                              { "trueValue", 0.09 }, { "mean", "0.09050" }, { "error", 0.56 },
                              { "expandedUncertainty", 5.1 }, { "rule", "simple acceptance" },
                              { "verdict", "PASS" } };
    const QJsonObject record { { "serial", "SN-0042" }, { "finished", "2026-03-11T09:00:00.000+01:00" },
                               { "operator", performer.Name() }, { "points", QJsonArray { point } },
                               { "customer", "Acme Radiation Ltd" }, { "measurand", "H*(10) rate, 137Cs S-Cs" },
                               { "procedure", "QP-7.2 rev 3" }, { "traceability", "to the national standard" },
                               { "performedBy", QJsonObject { { "name", performer.Name() },
                                                              { "function", performer.Function() },
                                                              { "key", QString::fromLatin1(
                                                                           performer.PublicKey().toHex()) } } } };
    return store.Append("calibration", 7, record, kMarch, &performer);
}

QString PdfText(const QString& path)
{
    QProcess reader;
    reader.start(QStringLiteral(PDFTOTEXT), { "-layout", path, "-" });
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

} // namespace

class TestSignatures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keyOpensOnlyWithItsPassphrase();
    void keyReadableByOthersIsRefused();
    void keyringRefusesMalformedKeys_data();
    void keyringRefusesMalformedKeys();
    void rowSignedAfterItsKeyWasRevokedIsNotTrusted();
    void rebuiltChainFailsVerification_data();
    void rebuiltChainFailsVerification();
    void approvalIsRefused_data();
    void approvalIsRefused();
    void approvedCertificateVerifiesAndAnEditedCopyDoesNot();

private:
    QScopedPointer<QTemporaryDir> m_pHome;
};

void TestSignatures::init()
{
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    SigningKey::SetLeastWorkForTests(true);
    m_pHome.reset(new QTemporaryDir);
    qputenv("XDG_DATA_HOME", m_pHome->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_pHome->path().toLocal8Bit());
}

void TestSignatures::keyOpensOnlyWithItsPassphrase()
{
    const QString path = QDir(SigningKey::Folder()).filePath("a.key");
    QCOMPARE(SigningKey::Create(path, "A. Tester", "Technician", "correct horse"), QString());
    QVERIFY(!SigningKey::Create(path, "B. Other", "Technician", "x").isEmpty()); // never over a key
    QCOMPARE(QFile::permissions(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                           | QFileDevice::ReadUser | QFileDevice::WriteUser);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly) && !file.readAll().contains("\"secret\""));

    SigningKey key;
    QCOMPARE(key.Load(path), QString());
    QCOMPARE(key.Name(), QString("A. Tester"));
    QVERIFY(!key.CanSign());
    QVERIFY(key.Sign("row").isEmpty());
    QCOMPARE(key.Unlock("correct horse "), QString("the passphrase does not open the key of A. Tester"));
    QVERIFY(!key.CanSign());
    QCOMPARE(key.Unlock("correct horse"), QString());
    const QByteArray signature = key.Sign("row");
    QVERIFY(SigningKey::Holds(signature, "row"));
    QVERIFY(!SigningKey::Holds(signature, "rov"));
}

void TestSignatures::keyReadableByOthersIsRefused()
{
    const QString path = QDir(SigningKey::Folder()).filePath("a.key");
    QCOMPARE(SigningKey::Create(path, "A. Tester", "Technician", "pass"), QString());
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    SigningKey key;
    QVERIFY(key.Load(path).contains("may be read or written by others"));
    QVERIFY(key.Name().isEmpty());
    // The console's own key likewise: its rows go unsigned, and say so.
    {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath(), false));
    }
    QVERIFY(QFile::setPermissions(RecordStore::ConsoleKeyPath(RecordStore::DefaultPath()),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath(), false));
    QVERIFY(store.Append("event", 1, {}) > 0);
    QVERIFY(store.RowAt(1).signature.isEmpty());
}

void TestSignatures::keyringRefusesMalformedKeys_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("why");
    const QByteArray key = "\"public\":\"" + QByteArray(64, 'a') + "\"";
    QTest::newRow("no list") << QByteArray("{\"keys\":{}}")
                             << "not a keyring (a JSON object with a list of keys)";
    QTest::newRow("short key") << QByteArray("{\"keys\":[{\"name\":\"A\",\"public\":\"abcd\",\"from\":\"2026-01-01\","
                                             "\"until\":\"2026-12-31\"}]}")
                               << "key 1 has no name or no public key of 64 hex digits";
    QTest::newRow("no name") << "{\"keys\":[{" + key + ",\"from\":\"2026-01-01\",\"until\":\"2026-12-31\"}]}"
                             << "key 1 has no name or no public key of 64 hex digits";
    QTest::newRow("until before from")
        << "{\"keys\":[{\"name\":\"A\"," + key + ",\"from\":\"2026-01-01\",\"until\":\"2025-12-31\"}]}"
        << "key 1 of A needs valid dates from and until";
    QTest::newRow("revoked no date")
        << "{\"keys\":[{\"name\":\"A\"," + key + ",\"from\":\"2026-01-01\",\"until\":\"2026-12-31\","
           "\"revoked\":\"soon\"}]}"
        << "key 1 of A has a revocation that is no date";
    QTest::newRow("valid") << "{\"keys\":[{\"name\":\"A\"," + key + ",\"from\":\"2026-01-01\","
                              "\"until\":\"2026-12-31\",\"revoked\":\"2026-06-01\"}]}"
                           << "";
}

void TestSignatures::keyringRefusesMalformedKeys()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, why);
    Keyring ring;
    QCOMPARE(ring.Parse(text), why);
    QCOMPARE(ring.IsEmpty(), !why.isEmpty());
    if (why.isEmpty()) {
        Keyring again;
        QCOMPARE(again.Parse(ring.Text()), QString());
        QCOMPARE(again.Text(), ring.Text());
    }
}

// What was signed before the revocation holds; what after, does not.
void TestSignatures::rowSignedAfterItsKeyWasRevokedIsNotTrusted()
{
    const QString path = QDir(SigningKey::Folder()).filePath("a.key");
    QCOMPARE(SigningKey::Create(path, "A. Tester", "Technician", "pass"), QString());
    SigningKey person;
    QCOMPARE(person.Load(path), QString());
    QCOMPARE(person.Unlock("pass"), QString());
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath(), false));
    SigningKey console;
    QCOMPARE(console.Load(RecordStore::ConsoleKeyPath(RecordStore::DefaultPath())), QString());
    QVERIFY2(store.Append("event", 7, { { "run", 1 } }, kMarch, &person) == 1, qPrintable(store.Error()));
    QCOMPARE(store.Append("event", 7, { { "run", 2 } }, kMarch + 2 * kDay, &person), 2);
    QCOMPARE(store.Append("event", 7, {}, kMarch + 2 * kDay), 3);

    Keyring ring;
    QCOMPARE(WriteKeyring(m_pHome->filePath("ring.json"),
                          { Trust(person, QDateTime::fromMSecsSinceEpoch(kMarch + kDay, Qt::UTC)), Trust(console) }),
             QString());
    QCOMPARE(ring.Load(m_pHome->filePath("ring.json")), QString());
    const SignatureAudit audit = SignatureAudit::Of(store, ring);
    QCOMPARE(audit.trusted, 2);
    QCOMPARE(audit.untrusted, 1);
    QCOMPARE(audit.firstUntrusted, QString("row 2 is signed by a key revoked by then (%1)").arg(person.Fingerprint()));
    QCOMPARE(audit.bad + audit.unsigned_, 0);
}

void TestSignatures::rebuiltChainFailsVerification_data()
{
    QTest::addColumn<QString>("signatures"); // what the forger does with them
    QTest::addColumn<QString>("reason");
    QTest::newRow("kept") << "kept" << "row 2's signature does not hold over the row";
    QTest::newRow("removed") << "removed" << "row 2 is not signed";
    QTest::newRow("signed again by the forger's own key") << "forged" << "row 2 is signed by a key the keyring";
}

// The attack as a script would make it: drop the triggers, change a row,
// recompute every later hash the store's way and bring the anchor along.
// The chain is whole again; the signatures are not.
void TestSignatures::rebuiltChainFailsVerification()
{
    QFETCH(QString, signatures);
    QFETCH(QString, reason);
    const QString path = RecordStore::DefaultPath();
    {
        RecordStore store;
        QVERIFY(store.Open(path, false));
        SigningKey own;
        QCOMPARE(own.Load(RecordStore::ConsoleKeyPath(path)), QString());
        // Row 2 signed before its place was known, as a row kept for a lab
        // server is: the same checks hold it, and refuse it once changed.
        RecordStore::Row unplaced;
        unplaced.time = RecordStore::TimeText(kMarch);
        unplaced.kind = "event";
        unplaced.node = 7;
        unplaced.content = R"({"value":2})";
        const QByteArray early = own.Sign(RecordStore::UnplacedBytes(unplaced));
        for (int i = 1; i <= 4; ++i)
            QVERIFY(store.Append("event", 7, { { "value", i } }, kMarch, nullptr, QString(),
                                 i == 2 ? early : QByteArray()) > 0);
        QCOMPARE(store.RowAt(2).signature, early);
        QVERIFY(store.Checkpoint() > 0);
    }
    SigningKey console;
    QCOMPARE(console.Load(RecordStore::ConsoleKeyPath(path)), QString());
    const QString ring = m_pHome->filePath("ring.json");
    QCOMPARE(WriteKeyring(ring, { Trust(console) }), QString());
    QString output;
    QCOMPARE(RunConsole({ "--verify-records", "--trust-keys", ring }, &output), 0);
    QCOMPARE(output, QString("5 records, chain intact\nrows signed by trusted keys: 5; by keys not trusted: 0; "
                             "bad signatures: 0; unsigned: 0"));

    const QString forgerKey = m_pHome->filePath("forger.key");
    QCOMPARE(SigningKey::CreateOpen(forgerKey, "forger"), QString());
    SigningKey forger;
    QCOMPARE(forger.Load(forgerKey), QString());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "forgery");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("DROP TRIGGER records_kept"));
        QVERIFY(query.exec("UPDATE records SET content = '{\"value\":20}' WHERE seq = 2"));
        RecordStore reader;
        QVERIFY(reader.OpenExisting(path));
        QByteArray previous = reader.RowAt(1).hash;
        for (qint64 seq = 2; seq <= 5; ++seq) {
            RecordStore::Row row = reader.RowAt(seq);
            row.previousHash = previous;
            row.hash = RecordStore::HashOf(row);
            previous = row.hash;
            const QByteArray signature = signatures == "kept" ? row.signature
                : signatures == "forged"                      ? forger.Sign(RecordStore::HashedBytes(row))
                                                              : QByteArray();
            query.prepare("UPDATE records SET previous_hash = ?, hash = ?, signature = ? WHERE seq = ?");
            query.addBindValue(QString::fromLatin1(row.previousHash));
            query.addBindValue(QString::fromLatin1(row.hash));
            query.addBindValue(signature.isEmpty() ? QStringLiteral("") : QString::fromLatin1(signature)); // never NULL
            query.addBindValue(seq);
            QVERIFY(query.exec());
        }
        QFile anchor(RecordStore::AnchorPath(path));
        QVERIFY(anchor.open(QIODevice::WriteOnly));
        anchor.write("5 " + previous + "\n");
    }
    QSqlDatabase::removeDatabase("forgery");
    QCOMPARE(RunConsole({ "--verify-records", "--trust-keys", ring }, &output), 1);
    const QStringList lines = output.split('\n');
    QCOMPARE(lines.value(0), QString("5 records, chain intact")); // what the hashes alone said
    QVERIFY2(lines.value(1).contains(signatures == "kept" ? "bad signatures: 4" : signatures == "forged"
                                                                                  ? "by keys not trusted: 4"
                                                                                  : "unsigned: 4"),
             qPrintable(output));
    QVERIFY2(lines.value(2).startsWith(reason), qPrintable(output));
}

void TestSignatures::approvalIsRefused_data()
{
    QTest::addColumn<QString>("reviewer");
    QTest::addColumn<bool>("approve");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("by the performer") << "performer" << true << ""
                                      << "A. Tester performed this calibration; a second person approves it";
    QTest::newRow("by a function that may not approve")
        << "colleague" << true << "" << "the keyring does not let C. Colleague approve";
    QTest::newRow("by a key not trusted") << "stranger" << true << ""
                                          << "the keyring does not trust the key of S. Stranger";
    QTest::newRow("rejected without a reason") << "manager" << false << " " << "a rejection needs its reason";
    QTest::newRow("rejected with a reason") << "manager" << false << "wrong source" << "";
    QTest::newRow("approved by a second person") << "manager" << true << "" << "";
}

void TestSignatures::approvalIsRefused()
{
    QFETCH(QString, reviewer);
    QFETCH(bool, approve);
    QFETCH(QString, reason);
    QFETCH(QString, refusal);
    const QMap<QString, SigningKey> keys { { "performer", MadeKey("p.key", "A. Tester", "Technician") },
                                           { "colleague", MadeKey("c.key", "C. Colleague", "Technician") },
                                           { "stranger", MadeKey("s.key", "S. Stranger", "Quality manager") },
                                           { "manager", MadeKey("m.key", "Q. Manager", "Quality manager") } };
    Keyring keyring;
    for (const char* name : { "performer", "colleague", "manager" }) {
        Keyring::Key key = Trust(keys[name]);
        key.approves = keys[name].Function() == "Quality manager";
        keyring.Add(key);
    }
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath(), false));
    const RecordStore::Row calibration = store.RowAt(Performed(store, keys["performer"]));
    QCOMPARE(CalibrationApproval::PerformerOf(calibration).fingerprint, keys["performer"].Fingerprint());
    const SigningKey& who = keys[reviewer];
    QCOMPARE(CalibrationApproval::Refusal(store, calibration, who, keyring, approve, reason), refusal);
    if (!refusal.isEmpty())
        return;
    QVERIFY(store.Append(CalibrationApproval::kKind, 7,
                         CalibrationApproval::Content(calibration, who, approve, reason), -1, &who) > 0);
    const CalibrationApproval::Decision decision = CalibrationApproval::Of(store, calibration);
    QCOMPARE(decision.approved, approve);
    QCOMPARE(decision.approver.name, QString("Q. Manager"));
    QCOMPARE(decision.reason, reason);
    QCOMPARE(CalibrationApproval::Refusal(store, calibration, who, keyring, true, QString()),
             QString("record 1 was already %1 by Q. Manager").arg(approve ? "approved" : "rejected"));
}

// A draft has no number and says so on every page; once approved, the
// certificate carries its record, which anyone can check.
void TestSignatures::approvedCertificateVerifiesAndAnEditedCopyDoesNot()
{
    if (QString(PDFTOTEXT).isEmpty())
        SKIP_FOR_MISSING_TOOL("pdftotext (poppler-utils) is not installed");
    const SigningKey performer = MadeKey("p.key", "A. Tester", "Technician");
    const SigningKey manager = MadeKey("m.key", "Q. Manager", "Quality manager");
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath(), false));
    SigningKey console;
    QCOMPARE(console.Load(RecordStore::ConsoleKeyPath(store.Path())), QString());
    Keyring::Key approving = Trust(manager);
    approving.approves = true;
    QCOMPARE(WriteKeyring(Keyring::BesideStore(store.Path()), { Trust(performer), approving, Trust(console) }),
             QString());
    const qint64 seq = Performed(store, performer);
    const CertificateWriter writer(&store);
    const CertificateWriter::Outcome draft = writer.Write(seq);
    QVERIFY2(draft.Written() && draft.draft, qPrintable(draft.error));
    QCOMPARE(QFileInfo(draft.path).fileName(), QString("draft-record-1.pdf"));
    const QStringList pages = PdfText(draft.path).split('\f', Qt::SkipEmptyParts);
    QVERIFY(!pages.isEmpty());
    for (const QString& page : pages)
        QVERIFY2(page.count("DRAFT — not approved") >= 2, qPrintable(page)); // the running line and the watermark
    QVERIFY(!pages.join("").contains("Certificate number"));
    CalibrationRegister register_(&store);
    const QModelIndex state = register_.index(0, CalibrationRegister::ColumnState);
    QCOMPARE(register_.data(state).toString(), QString("awaiting approval"));

    QVERIFY(store.Append(CalibrationApproval::kKind, 7,
                         CalibrationApproval::Content(store.RowAt(seq), manager, true, QString()), -1, &manager) > 0);
    register_.Update();
    QVERIFY(register_.data(state).toString().startsWith("due in "));
    const CertificateWriter::Outcome issued = writer.Write(seq);
    QVERIFY2(issued.Written() && !issued.draft, qPrintable(issued.error));
    const QString text = PdfText(issued.path).simplified();
    QVERIFY(!text.contains("DRAFT"));
    QVERIFY2(text.contains("Performed by / 校准员 A. Tester, Technician, 2026-03-10 Approved by / 批准人 Q. Manager, "
                           "Quality manager, " + QDate::currentDate().toString(Qt::ISODate)),
             qPrintable(text.mid(text.indexOf("Performed by"))));
    QVERIFY(text.contains(manager.Fingerprint()) && text.contains("verify-certificate FILE.pdf"));
    for (const char* part : { "Customer / 委托方 Acme Radiation Ltd", "H*(10) rate, 137Cs S-Cs", "Procedure / 校准规程 QP-7.2",
                              "Metrological traceability / 计量溯源性 to the national standard",
                              "Simple acceptance: the verdict compares the error with the tolerance" })
        QVERIFY2(text.contains(QString::fromUtf8(part)), part);

    const QString ring = Keyring::BesideStore(store.Path());
    QString output;
    QCOMPARE(RunConsole({ "--verify-certificate", issued.path, "--trust-keys", ring }, &output), 0);
    QVERIFY2(output.startsWith(QString("certificate %1 verifies: performed by A. Tester (Technician, %2), approved by "
                                       "Q. Manager (Quality manager, %3)")
                                   .arg(QFileInfo(issued.path).completeBaseName(), performer.Fingerprint(),
                                        manager.Fingerprint()))
                 && output.endsWith("the record is in the store's chain"),
             qPrintable(output));

    QFile file(issued.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    // A glyph of the first page's text changed in its stream, deflated
    // again as the writer had it.
    QByteArray edited = pdf;
    int start = 0;
    int end = 0;
    QByteArray page;
    while (!page.contains("> Tj") && (start = edited.indexOf("stream\n", end + 9) + 7) > 7) {
        end = edited.indexOf("endstream", start);
        page = qUncompress(QByteArray("\x01\0\0\0", 4) + edited.mid(start, end - start));
    }
    const int glyph = page.indexOf("> Tj");
    QVERIFY(glyph > 0);
    page[glyph - 1] = page[glyph - 1] == '1' ? '2' : '1';
    edited.replace(start, end - start, qCompress(page).mid(4));
    // The approval signed again by a key of nobody the laboratory trusts.
    const SigningKey forger = MadeKey("f.key", "Q. Manager", "Quality manager");
    QVector<RecordStore::Row> rows = CertificateWriter::EmbeddedIn(pdf);
    QCOMPARE(rows.size(), 2);
    rows[1].signature = forger.Sign(RecordStore::HashedBytes(rows[1]));
    QByteArray resigned = pdf;
    const QByteArray embedded = CertificateWriter::Embedded(rows, 1, QDate());
    const int from = resigned.indexOf("<dosegate:record>");
    resigned.replace(from, resigned.indexOf("</dosegate:record>") - from,
                     embedded.mid(embedded.indexOf("<dosegate:record>"),
                                  embedded.indexOf("</dosegate:record>") - embedded.indexOf("<dosegate:record>")));
    const QStringList reasons {
        "certificate refused: the printed pages are not the ones the signed record gives: they were changed",
        QString("certificate refused: the approval is signed by a key the keyring does not trust (%1)")
            .arg(forger.Fingerprint()) };
    int i = 0;
    for (const QByteArray& copy : { edited, resigned }) {
        const QString path = m_pHome->filePath(QString("copy%1.pdf").arg(i));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(copy) == copy.size());
        out.close();
        QCOMPARE(RunConsole({ "--verify-certificate", path, "--trust-keys", ring }, &output), 1);
        QCOMPARE(output, reasons[i++]);
    }
}

QTEST_MAIN(TestSignatures)
#include "tst_signatures.moc"
