#ifndef DOSEGATE_SETWISEDOSEGATE_H
#define DOSEGATE_SETWISEDOSEGATE_H

#include "LinkConsole.h"
#include "ui_SetwiseDosegate.h"

#include <QList>
#include <QWidget>

#include <atomic>

class QTableWidget;
class QTimer;
class ReadingTrend;
class RunJournal;
class TcpSocket;
class WriteDataFrame;

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

private:
    void AddTrend();
    void FitToScreen();
    void FitToFonts();
    void FitReadingsTable();
    void ShowFigure(QLineEdit* edit, const QString& text);

    void AttachLink();
    void ReleaseLink();
    QTimer* CreateTimer(int intervalMs, const char* slot);
    void ConnectControls();

    void ShowConfirmation(const char* title, const char* text, int blanks);
    void ShowPotentiometerStep(const char* title, const char* suffix);

    void AcceptReading(int id, int count, float reading);
    void UpdateWindowFigures();
    void AddTableRow(float reading);
    void RaiseAverageNumber();
    void UpdateStatistics();
    void UpdateLimits();

    Ui::SetwiseDosegateClass ui;
    TcpSocket* m_pSocket;
    WriteDataFrame* m_pWriteDataFrame;
    QTimer* m_pTimer;
    QTimer* m_pTableTimer;
    QTimer* m_pSendTimer;
    QList<float> m_listAverage;
    QList<float> m_listDose;
    float m_fAverage;
    float m_fVariation;
    int m_nAverageNum;
    int m_nRowNum;
    bool m_bNewData;
    std::atomic<int> m_nCalibrationId;
    ReadingTrend* m_pTrend; // a child of the readings page
    RunJournal* m_pJournal;
};

#endif
