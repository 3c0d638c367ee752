#ifndef DOSEGATE_PROCEDUREPAGE_H
#define DOSEGATE_PROCEDUREPAGE_H


#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

class CalibrationProcedure;
class QAbstractButton;
class QAbstractItemModel;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class ConsoleSession;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QModelIndex;

// The guided calibration's page: the steps numbered, the current one's
// fields, what the next press does, a Next enabled only when the step is
// done, and a run's progress. It shows the procedure's state and hands it
// what the operator types; the window feeds it the readings.
class ProcedurePage : public QWidget
{
    Q_OBJECT

public:
    // runSwitch: the readings page's run box, checked by a click when a
    // point's run starts so that requests and readings flow.
    // The procedure is not owned.
    // The session's procedure; the session keeps the points it takes.
    ProcedurePage(ConsoleSession* session, QAbstractButton* runSwitch, QWidget* parent = nullptr);

    CalibrationProcedure* Procedure() const { return m_pProcedure; }
    // A calibration begun and not finished: closing the window asks.
    bool CalibrationOpen() const;
    // Serials already in the register, looked up in the column given.
    void SetRegister(QAbstractItemModel* model, int serialColumn);
    // The calibration page's fields that Calc reads, filled as points are
    // found: true values and net means of ranges 1 to 3, and its node.
    void SetCalcFields(const QList<QDoubleSpinBox*>& trueValues, const QList<QDoubleSpinBox*>& measured,
                       QSpinBox* node);
    // The calibration page's current coefficients, which Calc multiplies:
    // the procedure's Calc puts the ones found there first.
    void SetCurrentCoefficientFields(const QList<QDoubleSpinBox*>& fields);
    // The readings table, whose settling rows are shown greyed.
    void SetReadingsTable(QTableWidget* table);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void GivePoint(int step, int point, bool toCalc);

signals:
    // The node the readings page must follow.
    void NodeChosen(int node);
    // A point taken, for the calibration book.
    // The records page's Finish: the book writes the record and the
    // certificate.
    void FinishRequested();
    // The calibration page's Calc and Set, pressed from here.
    void CalcRequested();
    void SetRequested();

private slots:
    void OnNext();
    void OnSkipAdjust();
    void OnCalc();
    void OnFinish();
    void OnFieldsEdited();
    void OnComputeTrueValue();
    void OnRunStarted();
    void OnProgress(int percent, int readingsLeft);
    void Refresh();
    void OnPointTaken(int step, int point);
    void GreySettlingRows(const QModelIndex& topLeft);

public slots:
    // A calibration the session reopened after a restart.
    void ShowReopened(const QJsonObject& state);

private:
    QWidget* BuildItemPage();
    QWidget* BuildReferencePage();
    QWidget* BuildBackgroundPage();
    QWidget* BuildRunPage();
    QWidget* BuildAdjustPage();
    QWidget* BuildFinishPage();
    bool SerialInRegister(const QString& serial) const;

    ConsoleSession* m_pSession;
    CalibrationProcedure* m_pProcedure;
    QAbstractButton* m_pRunSwitch;
    QAbstractItemModel* m_pRegister = nullptr;
    int m_nSerialColumn = 0;
    QTableWidget* m_pTable = nullptr;
    QList<QDoubleSpinBox*> m_listCalcTrue;
    QList<QDoubleSpinBox*> m_listCalcMeasured;
    QSpinBox* m_pCalcNode = nullptr;
    QList<QDoubleSpinBox*> m_listCalcCurrent;
    bool m_bRestoring = false;

    QListWidget* m_pSteps;
    QStackedWidget* m_pPages;
    QLabel* m_pNextText;
    QLabel* m_pMissing;
    QProgressBar* m_pProgress;
    QPushButton* m_pNext;

    QSpinBox* m_pNode;
    QLineEdit* m_pSerial;
    QAbstractButton* m_pSerialConfirmed;
    QAbstractButton* m_pSameField;
    QLineEdit* m_pManufacturer;
    QLineEdit* m_pModel;
    QLineEdit* m_pCustomer;
    QLineEdit* m_pCustomerAddress;
    QLineEdit* m_pPlace;

    QSpinBox* m_pPointCount;
    QDoubleSpinBox* m_pTolerance;
    QList<QDoubleSpinBox*> m_listTrueValue;
    QList<QDoubleSpinBox*> m_listReferenceU;
    QComboBox* m_pNuclide;
    QDoubleSpinBox* m_pSourceRate;
    QDoubleSpinBox* m_pSourceU;
    QDateEdit* m_pSourceDate;
    QDoubleSpinBox* m_pSourceDistance;
    QDoubleSpinBox* m_pPointDistance;
    QSpinBox* m_pSourcePoint;
    QLabel* m_pSourceResult;

    QDoubleSpinBox* m_pBackground;
    QDoubleSpinBox* m_pBackgroundU;

    QLabel* m_pRunText;
    QLabel* m_pTaken;
    QPushButton* m_pSkipAdjust;
    QPushButton* m_pCalc;
    QPushButton* m_pSet;
    QPushButton* m_pFinish;
    QLabel* m_pAdjustState;
    QLabel* m_pFinishState;
};

#endif
