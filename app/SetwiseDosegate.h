#ifndef DOSEGATE_SETWISEDOSEGATE_H
#define DOSEGATE_SETWISEDOSEGATE_H

#include "CalibrationFigures.h"
#include "ConsoleSession.h"
#include "LinkConsole.h"
#include "LocalClock.h"
#include "Reading.h"
#include "ui_SetwiseDosegate.h"

#include <QList>
#include <QWidget>

#include <atomic>
#include <memory>

namespace Ui {
class NodesPage;
class RecordsPage;
} // namespace Ui

class BudgetDialog;
class KeysDialog;
class CalibrationRegister;
class CertificateWriter;
class NodeCalibrations;
class Pacer;
class ReadingTrend;
class TcpSocket;
class WriteDataFrame;
class PageScroller;
class QSortFilterProxyModel;
class QTableWidget;
class QTimer;

// The console window: view and controller at once. Its members are defined
// by concern in SetwiseDosegate*.cpp (core and link, settings, replies,
// readings, calibration, report).
class SetwiseDosegate : public QWidget, public LinkConsole
{
    Q_OBJECT

public:
    explicit SetwiseDosegate(QWidget* parent = nullptr);
    ~SetwiseDosegate() override;

    // What the device link asks of the window.
    QString GetServerIp() const override;
    int GetServerPort() const override;
    void SetStateText(const QString& text) override;
    void ShowDoseLine(int id, int count, int tag) override;
    int GetCalibrationId() const override;
    void SetLastCoefficients(double c1, double c2, double c3) override;

    void ExportReport(QTableWidget* table, const QString& title);

    // Fills the connect page's address and port; an empty text leaves the
    // form's own.
    void FillConnectPage(const QString& host, const QString& port);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

protected slots:
    void Analytical(int id, int y, int x);
    void OnTimeout();
    void TableTimeout();
    void SendTimeout();
    void GetRealTimeDoseCount(int id, int count);
    void slot_modifyIDData();
    void slot_modifyAverageData();
    void slot_modifyText();
    void OnConnectButtonClicked();
    void OnOncheckbox(int state);
    void OnLancheckbox(int state);
    void OnThresholdButtonClicked();
    void OnShowSwitchButtonClicked();
    void OnParameterButtonClicked();
    void OnChangedIdButtonClicked();
    void OnChangedLanguageButtonClicked();
    void OnSetUintButtonClicked();
    void OnSetPrecisionButtonClicked();
    void OnSetAlarmnButtonClicked();
    void OnSetCalibrationClicked();
    void OnCalcCalibrationClicked();
    void OnResetBtnClicked();
    void OnGetCalibrationBtnClicked();
    void OnAlarmcheckbox(int state);
    void OnChangePontentiometerBtnDownClicked();
    void OnChangePontentiometerBtnUpClicked();
    void OnChangePontentiometerBtnClicked();
    void OnChangeCheckBoxOnceClicked();
    void OnClickExportReport();
    void OnChangedAdressButtonClicked();

private slots:
    // Keeps the copy of the calibration id that the decoder thread reads.
    void StoreCalibrationId(int id);
    // The mean, which every reading of a full window changes, at a pace a
    // flood cannot drive up.
    void ShowFigures();
    void OnAsFoundClicked();
    void OnAsLeftClicked();
    void OnFinishCalibrationClicked();
    void FollowReadBack(int node);
    void ShowRecordWarning(const QString& title, const QString& text);
    void ShowRecordsState();
    void SaveRecordFields();
    void ShowNodeCalibrations(const QModelIndex& current);
    void ShowCalibrationChoice();
    void OnShowCertificateClicked();
    void OnIssueAgainClicked();
    void OnRecordsLocalClicked();
    void OnRecordsServerClicked();
    void ShowCertificateIssued(qint64 record, const QString& path);
    void ShowCertificateRefused(qint64 record, const QString& reason);

private:
    void AddTrend(QWidget* contents);
    void FitToScreen();
    void FitToFonts();
    void FitReadingsTable();
    void ShowFigure(QLineEdit* edit, const QString& text);

    void AttachLink();
    void ReleaseLink();
    void BuildNodesPage(QWidget* contents);
    void AttachNodeBoard();
    void FitNodesTable();
    QTimer* CreateTimer(int intervalMs, const char* slot);
    void ConnectControls();

    void ShowConfirmation(const char* title, const char* text, int blanks);
    void ShowPotentiometerStep(const char* title, const char* suffix);

    void ConnectReadings();
    // When the frame being handled arrived; now outside the link's relay.
    qint64 ArrivalMs() const;
    void AttachRecords();
    void ConnectRecords();
    void AttachRegister();
    void BuildRecordsPage(QWidget* contents);
    QString RecordFieldText(const char* key) const;
    QList<QPair<QLineEdit*, QString>> RecordFields() const;
    void AddCalibrationPoint(CalibrationBook::Stage stage);
    void OpenCertificate(qint64 record, const QString& path);
    void AddTableRow(const QStringList& texts);
    void RaiseAverageNumber();
    void UpdateStatistics();
    void RestartFigures();
    CalibrationFigures::Inputs FigureInputs();
    void UpdateLimits();

    Ui::SetwiseDosegateClass ui;
    TcpSocket* m_pSocket;
    WriteDataFrame* m_pWriteDataFrame;
    QTimer* m_pTimer;
    QTimer* m_pTableTimer;
    QTimer* m_pSendTimer;
    std::atomic<int> m_nCalibrationId;
    ReadingTrend* m_pTrend; // a child of the readings page
    LocalClock m_clock;
    // The window's Qt child, made after the form: what it owns goes after
    // the widgets that show it.
    ConsoleSession* m_pSession;
    // The session's, at hand.
    Pacer* m_pFigurePacer;
    CalibrationFigures* m_pFigures; // the averaging window and what follows from it
    CertificateWriter* m_pCertificates;
    CalibrationRegister* m_pRegister;
    NodeCalibrations* m_pNodeCalibrations;
    BudgetDialog* m_pBudget;        // a child: the lab's uncertainty budget
    PageScroller* m_pScroller = nullptr; // a child of the tab widget
    // The records and nodes tabs' forms, once each tab is first shown.
    std::unique_ptr<Ui::RecordsPage> m_pRecordsPage;
    std::unique_ptr<Ui::NodesPage> m_pNodesPage;
    KeysDialog* m_pKeys = nullptr;  // people's keys and approval, with the records
    QSortFilterProxyModel* m_pRegisterSorted;
};

#endif
