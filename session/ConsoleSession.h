#ifndef DOSEGATE_CONSOLESESSION_H
#define DOSEGATE_CONSOLESESSION_H

#include "CalibrationBook.h"
#include "CalibrationFigures.h"
#include "LocalClock.h"
#include "Reading.h"
#include "ReadingRun.h"
#include "RunReport.h"
#include "RunTrend.h"

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

#include <memory>

class AlarmLevels;
class CalibrationProcedure;
class CalibrationRegister;
class CertificateWriter;
class CommandEvents;
class NodeBoard;
class NodeCalibrations;
class Pacer;
class QAbstractItemModel;
class RecordStore;
class RecordVerifier;
class RecordWriter;
class RunJournal;
class SigningKey;
class TcpSocket;
class WatchRequests;
class WriteDataFrame;

// What the console keeps and decides while it runs, apart from what it
// shows: the run's journal and figures, the calibrations under way and
// their records, the register, the certificates, the board of nodes and the
// guided procedure, wired to one another and to the link. A window, a test
// or a headless tool drives it the same way.
class ConsoleSession : public QObject
{
    Q_OBJECT

public:
    // Where the calibration page's fields take a point as found: its range
    // (1 to 3, 0 for none) with the true value and the net mean, of the node.
    struct CalcEntry
    {
        int node = 0;
        int range = 0;
        double trueValue = 0;
        double measured = 0;
    };

    // Journals, records and alarm levels in the user's folders.
    explicit ConsoleSession(QObject* parent = nullptr);
    ~ConsoleSession() override;

    // Follows the link: the commands sent, the replies and readings that
    // come back. Neither is owned; both outlive the session's use of them.
    void AttachLink(TcpSocket* socket, WriteDataFrame* encoder);
    // When the frame being handled arrived; now outside the link's relay.
    qint64 ArrivalMs() const;

    // The smallest averaging window whose mean is judged.
    static constexpr int kMinAverageNumber = 20;

    RunJournal* Journal() const { return m_pJournal; }
    ReadingRun& Run() { return m_run; }
    CalibrationFigures* Figures() const { return m_pFigures; }
    // Paces the mean shown, which every reading of a full window changes.
    Pacer* FigurePacer() const { return m_pFigurePacer; }
    RecordStore* Store() const { return m_pRecords; }
    RecordWriter* Writer() const { return m_pRecordWriter; }
    CertificateWriter* Certificates() const { return m_pCertificates; }
    CalibrationRegister* Register() const { return m_pRegister; }
    NodeCalibrations* Calibrations() const { return m_pNodeCalibrations; }
    CalibrationProcedure* Procedure() const { return m_pProcedure; }
    QAbstractItemModel* NodeModel() const;
    // The board's column the trend of each node is drawn in, and the role
    // its cells give the trend's points by (a QVector<float>).
    static int NodeTrendColumn();
    static int NodeTrendRole();
    // The widest realistic texts of a column of the board, in its words,
    // '8' standing for any digit.
    static QStringList NodeColumnSamples(int column);
    // The ini of the records' settings, the chain's anchor among them.
    static QString SettingsPath();
    // The records tab's fields by name, kept between runs in an ini of
    // their own, apart from the chain's anchor; one that only an earlier
    // console kept beside the anchor is read from there.
    static QString FieldsPath();
    static QVariant RecordField(const QString& name, const QVariant& otherwise);
    static void SaveRecordFields(const QVariantMap& fields);
    // Where a session made now keeps its records: the place named for the
    // run (--records), else the lab server the records tab chose, else the
    // console's own file.
    static QString RecordsLocation();
    // The lab server the records tab chose; empty for the console's own
    // file.
    static QString ChosenServer();

    // Keeps the choice for the next start: a lab server's address, or an
    // empty one for the console's own file. Why it was refused, else empty;
    // a refused address is not kept. The records of this run stay where
    // they are: the writer, its outbox and the readers were made for them.
    QString ChooseServer(const QString& location);
    // Where this run keeps its records, and where the next start will.
    QString RecordsPlaceText() const;
    // The newest row of this run's records; 0 with none, or none open.
    qint64 NewestRecord() const;
    // The laboratory's keyring, beside this run's records: where it is,
    // calibrations are approved before their certificates are issued.
    QString KeyringPath() const;

    // A second person approves or rejects the finished calibration of the
    // record, signed by their unlocked key. Why not, else empty once the
    // decision is queued; DecisionSaid follows it until its certificate is
    // written (issued, or a draft after a rejection).
    QString Decide(qint64 record, std::shared_ptr<const SigningKey> key, bool approve, const QString& reason);

    // The point the figures give now, kept in the node's calibration; as
    // found, also where the calibration page takes it.
    CalcEntry TakePoint(int node, const QString& serial, CalibrationBook::Stage stage);
    // The guided procedure's point (of its As found or As left step) kept in
    // its item's calibration, as TakePoint keeps the manual one.
    CalcEntry TakeProcedurePoint(int step, int point);
    // The range a true value belongs to: 1 to 3, 0 for none.
    static int RangeOf(double trueValue);
    bool Finish(int node, const CalibrationBook::Conditions& conditions);
    // New coefficient = true / measured × current, in double, then single
    // precision, held to [lowest, highest]; a clamp is kept in the node's
    // calibration, since Set would write the clamped value.
    double Coefficient(int node, int range, double trueValue, double measured, double current, double lowest,
                       double highest);
    // The board takes the threshold as the node's alarm level once the node
    // acknowledges it.
    void ThresholdSent(int id, double threshold);
    // The upper and lower limits of a true value at a tolerance in %, in
    // single precision as the fields show them; false when either is not
    // finite (no true value, no tolerance).
    static bool ToleranceLimits(double trueValue, double tolerance, float* pUpper, float* pLower);
    QString CalibrationSummary(int node) const;
    bool CalibrationOpen(int node) const;
    // The records' state in a line, and whether it tells of a loss.
    QString RecordsState() const;
    bool RecordsLost() const;

    // A count of the node the run follows, as the link relayed it.
    void AcceptCount(int id, int count);
    // True when the averaging window was smaller than the smallest judged
    // and now is that.
    bool HoldMinimumAverageNumber();
    // The averaging starts again (a new run, a potentiometer step): no mean
    // of before, nor one still waiting for the pacer, stands.
    void RestartAveraging();
    // A new run of the table: its rows, journal and averaging start afresh.
    void RestartRun();

    // The table's rows and figures as the window shows them and the report
    // writes them.
    const RunReport& Report() const { return m_report; }
    // At a tick: the row due, if any, stamped now, with its texts.
    bool TakeRow(QStringList* pTexts);
    // Marks the newest row and the trend with the potentiometer's step.
    void MarkStep(const QString& mark);
    // The trend's data, fed with each reading and mean; a chart made at any
    // time draws from it.
    RunTrend& Trend() { return m_trend; }
    // The figures of the newest full window against the typed inputs; the
    // report's texts follow them.
    CalibrationFigures::Result EvaluateFigures(const CalibrationFigures::Inputs& inputs);
    // The true value and the background as the operator typed them.
    ReportExport::Statistics ReportStatistics(const QString& typedTrueValue, const QString& typedBackground);

public slots:
    // In this order: the journal (on disk before anything else is done with
    // it), the trend (then ReadingAccepted), the figures, the procedure.
    void AcceptReading(const Reading& reading);
    // The coefficients a node sent back, for the calibration page's id.
    void TakeCoefficients(int id, double c1, double c2, double c3);
    void SetWatching(bool watching);
    void SetRunActive(bool active);
    void NoteRunRequest();

signals:
    void ReadingAccepted(const Reading& reading);
    // A reply, after it is kept and before the book hears of it: the book's
    // read-back follows whatever the reply's box asks of the operator.
    void ReplyArrived(int id, int y, int x);
    // The book reads a node's coefficients back: the calibration page
    // follows the node before the request goes out.
    void ReadBackStarting(int node);
    void RecordsChanged();
    void Warning(const QString& title, const QString& text);
    // The node board wants a dose request now.
    void RequestDue();
    // The procedure reopened where it stood before the console stopped: the
    // state it was read from, after the book has the calibration again.
    void ProcedureReopened(const QJsonObject& state);
    // Where a decision of Decide stands, in the operator's words.
    void DecisionSaid(qint64 record, const QString& text);

private slots:
    void TakeReply(int id, int y, int x);
    void ReadCoefficientsBack(int node);
    void RecordNodeState(const QVector<int>& ids, const QVector<int>& states);
    void OnLinkUp();
    void KeepProcedure();
    void ReopenProcedure();
    void TakeMean(double mean, double low, double high);
    void DecisionsWritten(qint64 firstTicket, qint64 lastTicket, qint64 lastSeq);
    void DecisionsNotWritten(qint64 firstTicket, qint64 lastTicket, const QString& why);

private:
    void ConnectRecords();
    // The calibrations of the decisions among the tickets, no longer waited for.
    QVector<qint64> TakeDecisions(qint64 firstTicket, qint64 lastTicket);

    // The window's, gone first when it closes.
    QPointer<TcpSocket> m_pSocket;
    ReadingRun m_run;
    RunReport m_report;
    RunTrend m_trend;
    LocalClock m_clock;
    QJsonObject m_procedureKept; // the last state kept, not kept twice
    QPointer<WriteDataFrame> m_pEncoder;
    // Decided once, before the records' objects are made from it.
    const QString m_sRecordsLocation;
    QString m_sNextLocation; // as last chosen: not read from the disk at each redraw
    // The decisions waiting to be written, by ticket: their calibrations.
    // Several may be on their way while the store is held by another console.
    QMap<qint64, qint64> m_mapDeciding;
    // Qt children, deleted in the order made; the writer writes what is
    // queued before it goes.
    RunJournal* m_pJournal;
    Pacer* m_pFigurePacer;
    CalibrationFigures* m_pFigures;
    RecordStore* m_pRecords;
    RecordWriter* m_pRecordWriter;
    RecordVerifier* m_pRecordVerifier;
    CommandEvents* m_pEvents;
    CalibrationBook* m_pBook;
    CertificateWriter* m_pCertificates;
    CalibrationRegister* m_pRegister;
    NodeCalibrations* m_pNodeCalibrations;
    CalibrationProcedure* m_pProcedure;
    // Not a QObject: gone before the session's Qt children, the board of
    // nodes among them, which reads none of it while it goes.
    std::unique_ptr<AlarmLevels> m_pAlarmLevels;
    NodeBoard* m_pNodeBoard;
    WatchRequests* m_pWatchRequests;
};

#endif
