#include "ConsoleSession.h"
#include "FrameProtocol.h"
#include "ModalWatcher.h"
#include "SaveDialogAnswer.h"
#include "UrlOpener.h"
#include "WindowRig.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTableWidget>
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
    void reportHoldsWhatThePageShows();

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

// The report's figures and rows come from the session, not the widgets: they
// must be the texts the page shows, a step's mark and a variation of 0
// included, and an input that is no figure is left out.
void TestExport::reportHoldsWhatThePageShows()
{
    ExportRig rig;
    rig.SetText("average_group", "20");
    rig.SetText("fixed_value_set", " 0.0900 ");
    rig.SetText("relative_error", "10");
    rig.SetText("background_value", " 0.001");
    rig.Readings(1, 16, 20);
    rig.Tick();
    const auto* session = rig.window.findChild<ConsoleSession*>();
    QVERIFY(session);
    QCOMPARE(session->Report().Shown().variation, rig.Text("variable_conefficient"));
    {
        ModalWatcher boxes(QMessageBox::Ok);
        QMetaObject::invokeMethod(&rig.window, "Analytical", Q_ARG(int, 1), Q_ARG(int, 0),
                                  Q_ARG(int, FrameProtocol::ReplyPotentiometerUp));
    }
    rig.Readings(1, 16, 19);
    rig.Readings(1, 17, 1);
    rig.Tick();

    const ReportExport::Statistics statistics = const_cast<ConsoleSession*>(session)->ReportStatistics(
        rig.Text("fixed_value_set"), rig.Text("background_value"));
    QCOMPARE(statistics.trueValue, QString("0.0900"));
    QCOMPARE(statistics.background, QString("0.001"));
    QVERIFY(!rig.Text("relative_error_2").isEmpty());
    QCOMPARE(statistics.relativeError, rig.Text("relative_error_2"));
    QCOMPARE(statistics.variation, rig.Text("variable_conefficient"));
    QCOMPARE(statistics.standardDeviation, rig.Text("standard_deviation"));
    QCOMPARE(statistics.expandedUncertainty, rig.Text("expanded_uncertainty"));
    QCOMPARE(statistics.coverageFactor, rig.Find<QLabel>("coverage_factor")->text());

    const auto* table = rig.Find<QTableWidget>("tableWidget_for_potentiometer");
    const ReportExport::Table texts = session->Report().Table();
    QCOMPARE(texts.nColumns, table->columnCount());
    QCOMPARE(texts.rows.size(), table->rowCount());
    QCOMPARE(texts.rows.size(), 3);
    for (int row = 0; row < table->rowCount(); ++row)
        for (int column = 0; column < table->columnCount(); ++column)
            QCOMPARE(texts.rows[row][column], table->item(row, column) ? table->item(row, column)->text() : QString());
    QVERIFY(!texts.rows[1][0].isEmpty());
    QVERIFY(!statistics.variation.isEmpty());
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
