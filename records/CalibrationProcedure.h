#ifndef DOSEGATE_CALIBRATIONPROCEDURE_H
#define DOSEGATE_CALIBRATIONPROCEDURE_H

#include "CalibrationBook.h"
#include "PointRun.h"
#include "Reading.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

// One node's calibration as the console leads it: the item, the reference
// field of each point, the background, the points as found, the adjustment,
// the points as left and the finish. Each step has a condition that makes
// it done; Next moves on only then. A point's run is a PointRun fed with the
// node's readings. Widget-free: the page shows it, the window forwards the
// readings, the book keeps what it gives.
class CalibrationProcedure : public QObject
{
    Q_OBJECT

public:
    enum Step { Item, Reference, Background, AsFound, Adjust, AsLeft, Finish, Done };
    static constexpr int kMaxPoints = 3;
    // The kind of the rows its state is kept in, after each step and point.
    static constexpr const char* kRecordKind = "procedure";

    struct Identity
    {
        int node = 0;
        QString serial;
        QString manufacturer;
        QString model;
        QString customerName;
        QString customerAddress;
        QString place;
        bool serialTaken = false;     // the register already holds it
        bool serialConfirmed = false; // the operator says it is the same item

        void Write(QJsonObject& json) const;
        void Read(const QJsonObject& json);
    };

    struct ReferencePoint
    {
        double trueValue = 0;            // μSv/h
        double referenceUncertainty = 0; // %, k = 2
        int range = 1;                   // 1 to 3, the coefficient it calibrates
    };

    // A point's run as it ended.
    struct Taken
    {
        PointRun::Figures figures;
        PointRun::Status status = PointRun::Collecting;
        bool taken = false;
    };

    explicit CalibrationProcedure(QObject* parent = nullptr);
    ~CalibrationProcedure() override;

    Step CurrentStep() const { return m_step; }
    static QString StepName(Step step);
    static QString StepKey(Step step);
    bool StepDone() const;
    // What happens when Next is pressed, in the operator's words.
    QString NextText() const;
    // Why the step is not done, or empty.
    QString Missing() const;

    void SetIdentity(const Identity& identity);
    const Identity& ItemIdentity() const { return m_identity; }
    void SetPoints(const QList<ReferencePoint>& points);
    const QList<ReferencePoint>& Points() const { return m_points; }
    void SetTolerance(double tolerance) { m_fTolerance = tolerance; }
    void SetBackground(double background, double expandedUncertainty);
    // The next node of a series is measured in the field the last one was:
    // from its item, Next goes straight to as found.
    bool FieldKept() const { return m_bFieldKept; }
    bool FieldAvailable() const { return m_bSeries && RangesValid() && m_bBackgroundSet; }
    void KeepField(bool keep) { m_bFieldKept = keep; }
    void SetRunSettings(const PointRun::Settings& settings) { m_runSettings = settings; }
    const PointRun::Settings& RunSettings() const { return m_runSettings; }
    // The run's settings kept with the console's others, each written with
    // its default when it is missing so that the operator finds it.
    static PointRun::Settings LoadRunSettings(const QString& settingsPath, int requestPeriodMs);

    // What the node held before anything was written to it; empty until
    // its read-back comes.
    const QJsonArray& AsFoundCoefficients() const { return m_asFoundCoefficients; }
    // The last coefficients Set wrote, and whether the node holds them.
    const QJsonArray& WrittenCoefficients() const { return m_written; }
    const QJsonArray& ReadBackCoefficients() const { return m_readBack; }

    // The run of the current point of As found or As left; the readings
    // table restarts with it.
    int CurrentPoint() const { return m_nPoint; }
    const PointRun* Run() const { return m_pRun.get(); }
    const QList<Taken>& AsFoundPoints() const { return m_asFound; }
    const QList<Taken>& AsLeftPoints() const { return m_asLeft; }
    bool AllAsFoundPass() const;
    // A taken point as the calibration book keeps it.
    CalibrationBook::Point BookPoint(const Taken& taken, int point) const;

    // Restores a procedure kept by Write; false, and nothing changed, for
    // an object that is not one.
    bool Read(const QJsonObject& json);
    void Write(QJsonObject& json) const;

public slots:
    void StartRun();
    void AddReading(const Reading& reading);
    // The node's coefficients as Set writes them, its acknowledgement and
    // its read-back: a read-back that matches what was written ends the
    // adjustment; one that does not holds it.
    void CommandSent(int code, int target, const QByteArray& frame);
    void Acknowledged(int id, int y, int x);
    void CoefficientsRead(int id, double c1, double c2, double c3);
    // As found passed at every point and the operator keeps the node as it is.
    bool SkipAdjust();
    // The record is written.
    void Finished();
    // The book wrote a node's record: the procedure's, if it is that node.
    void RecordWritten(int node);
    bool Next();

signals:
    void StepChanged(int step);
    // The readings table and the figures start afresh for a new run.
    void RunStarted(int point);
    void RunProgress(int percent, int readingsLeft);
    void PointTaken(int step, int point);
    // A step is done and should be kept before anything else happens.
    void StepFinished(int step);
    // Something to keep changed within a step: the coefficients as found, a Set.
    void StateChanged();
    void ReadBackRequested(int node);

private:
    QList<Taken>* Stage();
    const QList<Taken>* Stage() const;
    bool RangesValid() const;
    void StartNextNode();

    Step m_step = Item;
    Identity m_identity;
    QList<ReferencePoint> m_points;
    double m_fTolerance = 10;
    double m_fBackground = 0;
    double m_fBackgroundU = 0;
    bool m_bBackgroundSet = false;
    bool m_bAdjusted = false;
    bool m_bAdjustSkipped = false;
    bool m_bFinished = false;
    bool m_bFieldKept = false;
    bool m_bSeries = false; // a node after the first of a series
    PointRun::Settings m_runSettings;
    int m_nPoint = 0;
    std::unique_ptr<PointRun> m_pRun;
    QList<Taken> m_asFound;
    QList<Taken> m_asLeft;
    QJsonArray m_asFoundCoefficients;
    QJsonArray m_written;
    QJsonArray m_readBack;
    bool m_bAwaitingReadBack = false;
};

#endif
