#ifndef DOSEGATE_REPORTEXPORT_H
#define DOSEGATE_REPORTEXPORT_H

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class AxObject;
class AxRecorder;

// Writes the readings table and its statistics as a calibration report
// workbook, driving the spreadsheet through automation objects. Asks
// nothing and shows nothing: the caller picks the path and tells the
// operator the outcome.
class ReportExport
{
    Q_DECLARE_TR_FUNCTIONS(ReportExport)

public:
    enum Outcome { Written, BindFailed, Failed };

    // The readings table as texts: row by row, column 0 included, an
    // empty text where the table has no item.
    struct Table
    {
        int nColumns = 0;
        QVector<QStringList> rows;
    };

    struct Statistics
    {
        QString trueValue;
        QString relativeError; // without the "%"
        QString variation;     // coefficient of variation, without the "%"
        QDateTime reportTime;
        // The uncertainty and the verdict, in the lines after the report time.
        QString background;          // μSv/h
        QString standardDeviation;   // μSv/h
        QString expandedUncertainty; // without the "%"
        QString coverageFactor;      // "k = 2.14"
        QString decisionRule;
        QString verdict;
    };

    struct Result
    {
        Outcome outcome = Failed;
        QString message; // for the operator; empty when written
    };

    static QStringList HeaderLabels();

    // Column 0 of the table is never written. The path is used as given,
    // extension included. A recorder, when given, sees every operation.
    static Result Write(const Table& table, const QString& title, const Statistics& statistics, const QString& path,
                        AxRecorder* pRecorder = nullptr);

private:
    ReportExport(AxObject& app, const Table& table);

    void Open();
    void WriteTitle(const QString& title);
    void WriteCaptions();
    void WriteData();
    void WriteStatistics(const Statistics& statistics);
    void WriteFrame();
    QString Finish();

    // Each step is issued only while every earlier one succeeded, so that
    // an object a failed step did not hand over is never used.
    AxObject* SetCell(int nRow, int nColumn, const QString& text, int nFontSize);
    void MergeAndCentre(AxObject* pTarget);
    void Call(AxObject* pObject, const char* name, const QVariant& arg = QVariant());
    void Set(AxObject* pObject, const char* name, const QVariant& value);
    AxObject* Sub(AxObject* pObject, const char* name, const QVariant& arg1 = QVariant(),
                  const QVariant& arg2 = QVariant());

    AxObject& m_app;
    AxObject* m_pBook = nullptr;
    AxObject* m_pSheet = nullptr;
    const Table& m_table;
    QString m_lastColumn;
    bool m_bOk = true; // false from the first failure on: its reason is the application's last error
};

#endif
