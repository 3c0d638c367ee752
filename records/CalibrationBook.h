#ifndef DOSEGATE_CALIBRATIONBOOK_H
#define DOSEGATE_CALIBRATIONBOOK_H

#include "CalibrationFigures.h"
#include "CalibrationRecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <limits>
#include <memory>
#include <QString>

class RecordStore;
class RecordWriter;
class SigningKey;

// The calibrations under way, one per node, in the technician's order: the
// coefficients as found, points as found and as left, the coefficients
// computed and written and what the node holds afterwards, warnings; then,
// when finished, one record in the store, reported finished once it is
// written. Asks for what it needs to read
// from the node through ReadBackRequested and tells of what goes wrong
// through Warning; it sends nothing and shows nothing itself.
class CalibrationBook : public QObject
{
    Q_OBJECT

public:
    enum Stage { AsFound, AsLeft };

    // One run's figures, as the readings page shows them.
    struct Point
    {
        double trueValue = 0; // μSv/h
        double background = 0;
        double referenceUncertainty = 0; // %, k = 2
        int n = 0;
        double mean = 0;
        double standardDeviation = 0;
        double error = 0; // %
        double expandedUncertainty = 0; // U(e), points of e
        double coverageFactor = 0;
        double backgroundUncertainty = 0; // μSv/h, k = 2
        double backgroundDegreesOfFreedom = std::numeric_limits<double>::infinity();
        double standardUncertainty = 0; // u(e), points of e
        double degreesOfFreedom = 0;
        double factorUncertainty = 0; // %, of N = T/(M − B), expanded
        double decisionThreshold = 0; // μSv/h
        double detectionLimit = 0;    // μSv/h
        double probabilityWithin = std::numeric_limits<double>::quiet_NaN(); // under simple acceptance with a large U; NaN otherwise
        QVector<CalibrationRecord::Term> budget; // the terms of u(e)
        QStringList remarks;          // in the words they were raised in
        double tolerance = 0; // %
        QString rule;
        QString verdict;
        QString journal; // the run journal, empty when there was none
        int firstLine = 0; // the journal's lines that hold the readings
        int lastLine = 0;
    };

    // What the records tab holds at the end of a calibration.
    struct Conditions
    {
        QString operatorName;
        QString referenceSource;
        QString referenceCertificate;
        QString referenceUncertainty; // %, k = 2
        QString temperature;          // °C
        QString pressure;             // kPa
        QString humidity;             // %
        QString laboratoryName;
        QString laboratoryAddress;
        QString customer;
        QString place;
        QString measurand; // and radiation quality, as the laboratory types it
        QString procedure;
        QString traceability; // the laboratory's statement
        QString manufacturer; // of the item; kept only when given
        QString model;
        // Whoever performed it, their key unlocked at Finish: the record
        // names them and is signed by them. None: the console signs.
        std::shared_ptr<const SigningKey> performer;
    };

    // Reads the store, writes through the writer; neither is owned.
    CalibrationBook(RecordStore* pStore, RecordWriter* pWriter, QObject* parent = nullptr);

    // 1 below 200 μSv/h, 2 up to 1 mSv/h, 3 above: the calibration page's
    // ranges.
    static int RangeOf(double trueValue);
    // A run's point from its figures; the run journal's readings end at
    // lastLine, one line per reading after the header.
    static Point PointOf(const CalibrationFigures::Inputs& inputs, const CalibrationFigures::Result& figures,
                         const QString& journal, int lastLine);
    static QString StageName(Stage stage);

    bool IsOpen(int node) const { return m_mapOpen.contains(node); }
    // "2 points: as found range 1, as left range 1", for the records tab.
    QString Summary(int node) const;
    // The calibration of the node as it stands, for tests and the record.
    QJsonObject Calibration(int node) const;

public slots:
    // The first point of a node reads its coefficients back before anything
    // is changed.
    void AddPoint(int node, const QString& serial, CalibrationBook::Stage stage,
                  const CalibrationBook::Point& point);
    // A calibration kept elsewhere and reopened after a restart: the node
    // may hold other coefficients by now, so the ones found before are
    // taken as they were kept ("asFoundCoefficients", none: not known)
    // instead of being read, with the adjustments made ("adjustments").
    void Resume(int node, const QString& serial, const QJsonObject& kept);
    // Calc gave a coefficient outside what the node takes; the field holds
    // the clamped one, which Set would write.
    void CoefficientClamped(int node, int range, double computed, double clamped);
    // The encoder's report of a command written: Set's coefficients.
    void CommandSent(int code, int target, const QByteArray& frame);
    void Acknowledged(int id, int y, int x);
    void CoefficientsRead(int id, double c1, double c2, double c3);
    // Hands the node's calibration to the writer as one record; it is open
    // again when it could not be written. False when none was open.
    bool Finish(int node, const CalibrationBook::Conditions& conditions);
    void RowsWritten(qint64 firstTicket, qint64 lastTicket, qint64 lastSeq);
    void RowsNotWritten(qint64 firstTicket, qint64 lastTicket, const QString& why);

signals:
    void ReadBackRequested(int node);
    void Warning(const QString& title, const QString& text);
    void Changed(int node);
    void Finished(int node, qint64 record);

private:
    enum class Awaiting { Nothing, AsFound, AfterSet };

    // Each Set in adjustments: what was written, acknowledged, read back.
    using Open = CalibrationRecord;

    // Per node, open calibration or not: what the next read-back is for.
    struct Expected
    {
        Awaiting awaiting = Awaiting::Nothing;
        QJsonArray written; // the last Set's coefficients
    };

    // The text's %1, %2, ... take the values in order.
    void Warn(int node, const char* title, const char* text, const QStringList& values);
    // The type of the last detector-type command the node acknowledged;
    // empty when there was none.
    QString DetectorType(int node) const;
    void CheckReadBack(int node, const QJsonArray& read);

    struct Finishing
    {
        int node;
        Open open;
    };

    RecordStore* m_pStore; // not owned
    RecordWriter* m_pWriter; // not owned
    QMap<int, Open> m_mapOpen;
    QMap<qint64, Finishing> m_mapFinishing; // by the writer's ticket
    QMap<int, Expected> m_mapExpected;
};

Q_DECLARE_METATYPE(CalibrationBook::Point)
Q_DECLARE_METATYPE(CalibrationBook::Conditions)

#endif
