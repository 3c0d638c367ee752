#include "ModalWatcher.h"
#include "SaveDialogAnswer.h"
#include "UrlOpener.h"
#include "WindowRig.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

const QString kComplete = QStringLiteral("Complete|The file has been exported. Do you want to open it now")
    + QChar(0xFF1F);

struct ExportRig : WindowRig {
    ExportRig()
    {
        Find<QCheckBox>("calibration_check_box")->setChecked(true);
        Reading(1, 16);
        Tick();
    }
};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    // A home of its own, with the documents folder the dialog starts in.
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toLocal8Bit());
        QVERIFY(QDir(m_home.path()).mkpath("Documents"));
    }
    void cancelledDialogWritesNothing();
    void writtenReportIsOfferedAndOpened();
    void answeringNoOpensNothing();
    void failedSaveIsReportedNotCompleted();

private:
    QTemporaryDir m_home;
};

void TestExport::cancelledDialogWritesNothing()
{
    QTemporaryDir folder;
    ExportRig rig;
    ModalWatcher boxes(QMessageBox::Yes);
    SaveDialogAnswer dialog(QString {});
    rig.Click("export_report");
    QCOMPARE(dialog.title, QString("Save"));
    QCOMPARE(dialog.filters, QStringList { "Excel file(*.xls *.xlsx)" });
    QCOMPARE(dialog.parentName, QString("tableWidget_for_potentiometer"));
    QCOMPARE(dialog.folder, QDir(m_home.filePath("Documents")).canonicalPath());
    QCOMPARE(dialog.typedName, QString());

    // A fresh account has no documents folder yet: home, and still no name.
    QVERIFY(QDir(m_home.path()).rmdir("Documents"));
    SaveDialogAnswer fresh(QString {});
    rig.Click("export_report");
    QVERIFY(QDir(m_home.path()).mkdir("Documents"));
    QCOMPARE(fresh.folder, QDir(m_home.path()).canonicalPath());
    QCOMPARE(fresh.typedName, QString());
    // The second dialog ran the event loop past anything the first left.
    QCOMPARE(boxes.boxes, QStringList());
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestExport::writtenReportIsOfferedAndOpened()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("report 1.xlsx");
    ExportRig rig;
    UrlOpener opener;
    ModalWatcher boxes(QMessageBox::Yes);
    SaveDialogAnswer dialog(path);
    rig.Click("export_report");
    QCOMPARE(boxes.boxes, QStringList { kComplete });
    QCOMPARE(boxes.boxHadParent, QList<bool> { false });
    QVERIFY(QFileInfo(path).size() > 0);
    QCOMPARE(opener.opened, QList<QUrl> { QUrl::fromLocalFile(path) });
    QVERIFY(!opener.opened[0].toString().startsWith("file:////"));
}

void TestExport::answeringNoOpensNothing()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("report.xls"); // written as given
    ExportRig rig;
    UrlOpener opener;
    ModalWatcher boxes(QMessageBox::No);
    SaveDialogAnswer dialog(path);
    rig.Click("export_report");
    QCOMPARE(boxes.boxes, QStringList { kComplete });
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(opener.opened, QList<QUrl>());
}

// The save is examined: a report that was not written is never announced
// as complete, and what stood at the path before stays as it was.
void TestExport::failedSaveIsReportedNotCompleted()
{
    QTemporaryDir folder;
    const QString missing = folder.filePath("no such folder/report.xlsx");
    ExportRig rig;
    UrlOpener opener;
    ModalWatcher boxes(QMessageBox::Yes);
    {
        SaveDialogAnswer dialog(missing);
        rig.Click("export_report");
    }
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY2(boxes.boxes[0].startsWith("Error|"), qPrintable(boxes.boxes[0]));
    QVERIFY2(boxes.boxes[0].contains(QDir::toNativeSeparators(missing)), qPrintable(boxes.boxes[0]));
    QCOMPARE(opener.opened, QList<QUrl>());
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
