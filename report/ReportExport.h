#ifndef DOSEGATE_REPORTEXPORT_H
#define DOSEGATE_REPORTEXPORT_H

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

class AxObject;
class AxRecorder;
class QTableWidget;

// Writes the readings table and its statistics as a calibration report
// workbook, driving the spreadsheet through automation objects. Asks
// nothing and shows nothing: the caller picks the path and tells the
// operator the outcome.
class ReportExport
{
public:
    enum Outcome { Written, BindFailed, Failed };

    struct Statistics
    {
        QString trueValue;
        QString relativeError; // without the "%"
        QString variation;     // coefficient of variation, without the "%"
        QDateTime reportTime;
    };

    struct Result
    {
        Outcome outcome = Failed;
        QString message; // for the operator; empty when written
    };

    static constexpr int kTitleFontSize = 12;
    static constexpr int kTitleRowHeight = 60;
    static constexpr int kCaptionFontSize = 16;
    static constexpr int kStatisticsFontSize = 10;
    static constexpr int kTableRowHeight = 20;
    static constexpr int kAlignCentre = -4108;

    static QString BindFailedMessage();
    static QStringList HeaderLabels();

    // Column 0 of the table is never written. The path is used as given,
    // extension included. A recorder, when given, sees every operation.
    static Result Write(const QTableWidget& table, const QString& title, const Statistics& statistics,
                        const QString& path, AxRecorder* pRecorder = nullptr);

private:
    struct Sheet;

    static QString Failure(const QString& path, const QString& reason);
    static bool Open(AxObject& app, AxObject** ppBook, AxObject** ppSheet, QString* pError);
    static bool WriteTitle(Sheet& sheet, const QString& title);
    static bool WriteCaptions(Sheet& sheet);
    static bool WriteData(Sheet& sheet, const QTableWidget& table);
    static bool WriteStatistics(Sheet& sheet, const Statistics& statistics);
    static bool WriteFrame(Sheet& sheet);
    static bool Save(AxObject& book, const QString& path, QString* pError);
    static bool Finish(AxObject& app, AxObject* pBook, QString* pError);

    // Writes the text and, unless nFontSize is 0, the cell's font size.
    static AxObject* SetCell(Sheet& sheet, int nRow, int nColumn, const QString& text, int nFontSize);
    static bool MergeAndCentre(AxObject& target, QString* pError);
    static bool Call(AxObject& object, const char* name, QString* pError, const QVariant& arg = QVariant());
    static bool Set(AxObject& object, const char* name, const QVariant& value, QString* pError);
    static AxObject* Sub(AxObject& object, const char* name, QString* pError, const QVariant& arg1 = QVariant(),
                         const QVariant& arg2 = QVariant());
};

#endif
