#include "SetwiseDosegate.h"

#include "BudgetDialog.h"
#include "CalibrationFigures.h"
#include "FontSubstitutes.h"
#include "FrameProtocol.h"
#include "Pacer.h"
#include "PageScroller.h"
#include "ReadingTrend.h"
#include "TcpSocket.h"
#include "WindowIcon.h"
#include "WindowPlacement.h"
#include "ui_NodesPage.h"
#include "ui_RecordsPage.h"
#include "WriteDataFrame.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr int kThresholdConfirmDelayMs = 1000;
constexpr int kTableTickMs = 500;
constexpr int kDoseRequestMs = 2000;
} // namespace

SetwiseDosegate::SetwiseDosegate(QWidget* parent)
    : QWidget(parent)
    , m_pSocket(nullptr)
    , m_pWriteDataFrame(nullptr)
    , m_pTimer(nullptr)
    , m_pTableTimer(nullptr)
    , m_pSendTimer(nullptr)
    , m_nCalibrationId(0)
    , m_pTrend(nullptr)
    , m_pSession(nullptr)
    , m_pFigurePacer(nullptr)
    , m_pFigures(nullptr)
    , m_pCertificates(nullptr)
    , m_pRegister(nullptr)
    , m_pNodeCalibrations(nullptr)
    , m_pBudget(new BudgetDialog(ConsoleSession::SettingsPath(), this))
    , m_pRegisterSorted(nullptr)
{
    FontSubstitutes::Install();
    // The form is set up before anything is connected, so its defaults
    // trigger none of the slots.
    ui.setupUi(this);
    m_pSession = new ConsoleSession(this);
    m_pFigurePacer = m_pSession->FigurePacer();
    m_pFigures = m_pSession->Figures();
    m_pCertificates = m_pSession->Certificates();
    m_pRegister = m_pSession->Register();
    m_pNodeCalibrations = m_pSession->Calibrations();
    setWindowIcon(WindowIcon::Make());
    FitToFonts();
    // The limits follow their inputs from the first moment, not only after
    // the first edit.
    UpdateLimits();
    m_pScroller = new PageScroller(ui.tabWidget);
    // What only its own page shows waits for that page.
    m_pScroller->WhenFirstShown(ui.tab_for_potentiometer, [this](QWidget* contents) { AddTrend(contents); });
    m_pScroller->WhenFirstShown(ui.records, [this](QWidget* contents) { BuildRecordsPage(contents); });
    m_pScroller->WhenFirstShown(ui.nodes, [this](QWidget* contents) { BuildNodesPage(contents); });
    AttachLink();
    AttachRecords();
    m_pTimer = CreateTimer(kThresholdConfirmDelayMs, SLOT(OnTimeout()));
    m_pTableTimer = CreateTimer(kTableTickMs, SLOT(TableTimeout()));
    m_pSendTimer = CreateTimer(kDoseRequestMs, SLOT(SendTimeout()));
    FitToScreen(); // to the page in front; another grows it when first shown
    new WindowPlacement(this, ConsoleSession::SettingsPath());

    m_nCalibrationId = ui.m_pSpinBox_calib_id->value();
    connect(ui.m_pSpinBox_calib_id, SIGNAL(valueChanged(int)), this, SLOT(StoreCalibrationId(int)));
    connect(m_pFigurePacer, SIGNAL(Due()), this, SLOT(ShowFigures()));
    ConnectControls();
    ConnectReadings();
    ConnectRecords();
}

SetwiseDosegate::~SetwiseDosegate()
{
    ReleaseLink();
    delete m_pTimer;
    m_pTimer = nullptr;
    delete m_pTableTimer;
    m_pTableTimer = nullptr;
    delete m_pSendTimer;
    m_pSendTimer = nullptr;
}

QTimer* SetwiseDosegate::CreateTimer(int intervalMs, const char* slot)
{
    auto* timer = new QTimer;
    timer->setInterval(intervalMs);
    connect(timer, SIGNAL(timeout()), this, slot);
    return timer;
}

void SetwiseDosegate::AttachLink()
{
    m_pSocket = new TcpSocket;
    m_pSocket->SetWindow(this);
    m_pWriteDataFrame = new WriteDataFrame;
    m_pWriteDataFrame->SetSocket(m_pSocket->GetSocket());
    // Before the window's own reactions, whose boxes wait for the operator.
    m_pSession->AttachLink(m_pSocket, m_pWriteDataFrame);
}

// The session goes first: nothing may write through the encoder to a socket
// that is gone.
void SetwiseDosegate::ReleaseLink()
{
    delete m_pSocket;
    m_pSocket = nullptr;
    delete m_pWriteDataFrame;
    m_pWriteDataFrame = nullptr;
}

void SetwiseDosegate::ConnectControls()
{
    connect(ui.m_pCheckBox_on, SIGNAL(stateChanged(int)), this, SLOT(OnOncheckbox(int)));
    connect(ui.m_pCheckBox_lan, SIGNAL(stateChanged(int)), this, SLOT(OnLancheckbox(int)));
    connect(ui.m_pPushButton_connect, SIGNAL(clicked()), this, SLOT(OnConnectButtonClicked()));
    connect(ui.m_pPushButton_thr, SIGNAL(clicked()), this, SLOT(OnThresholdButtonClicked()));
    connect(ui.m_pPushButton_switch, SIGNAL(clicked()), this, SLOT(OnShowSwitchButtonClicked()));
    connect(ui.m_pPushButton_parameter, SIGNAL(clicked()), this, SLOT(OnParameterButtonClicked()));
    connect(ui.m_pPushButton_changed_id, SIGNAL(clicked()), this, SLOT(OnChangedIdButtonClicked()));
    connect(ui.m_pPushButton_changed_lan, SIGNAL(clicked()), this, SLOT(OnChangedLanguageButtonClicked()));
    connect(ui.m_pPushButton_uint, SIGNAL(clicked()), this, SLOT(OnSetUintButtonClicked()));
    connect(ui.m_pPushButton_precision, SIGNAL(clicked()), this, SLOT(OnSetPrecisionButtonClicked()));
    connect(ui.m_pPushButton_changed_alarm, SIGNAL(clicked()), this, SLOT(OnSetAlarmnButtonClicked()));
    connect(m_pSession, SIGNAL(ReplyArrived(int, int, int)), this, SLOT(Analytical(int, int, int)));
    connect(m_pSocket, SIGNAL(CountDoseSignl(int, int)), this, SLOT(GetRealTimeDoseCount(int, int)));
    connect(ui.m_pSetCalibrationBtn, SIGNAL(clicked()), this, SLOT(OnSetCalibrationClicked()));
    connect(ui.m_pCalcCoefficientBtn, SIGNAL(clicked()), this, SLOT(OnCalcCalibrationClicked()));
    connect(ui.m_pResetBtn, SIGNAL(clicked()), this, SLOT(OnResetBtnClicked()));
    connect(ui.m_pGetCalibrationBtn, SIGNAL(clicked()), this, SLOT(OnGetCalibrationBtnClicked()));
    connect(ui.m_pCheckBox_alarm, SIGNAL(stateChanged(int)), this, SLOT(OnAlarmcheckbox(int)));
    connect(ui.m_potentiometer_up, SIGNAL(clicked()), this, SLOT(OnChangePontentiometerBtnUpClicked()));
    connect(ui.m_potentiometer_down, SIGNAL(clicked()), this, SLOT(OnChangePontentiometerBtnDownClicked()));
    connect(ui.m_potentiometer_set, SIGNAL(clicked()), this, SLOT(OnChangePontentiometerBtnClicked()));
    connect(ui.calibration_check_box, SIGNAL(clicked()), this, SLOT(OnChangeCheckBoxOnceClicked()));
    connect(ui.relative_error, SIGNAL(textChanged(QString)), this, SLOT(slot_modifyText()));
    connect(ui.fixed_value_set, SIGNAL(textChanged(QString)), this, SLOT(slot_modifyText()));
    connect(ui.average_group, SIGNAL(textChanged(QString)), this, SLOT(slot_modifyAverageData()));
    connect(ui.export_report, SIGNAL(clicked()), this, SLOT(OnClickExportReport()));
    connect(ui.id_for_potentiometer, SIGNAL(valueChanged(int)), this, SLOT(slot_modifyIDData()));
    connect(ui.m_pPushButton_address, SIGNAL(clicked()), this, SLOT(OnChangedAdressButtonClicked()));

    // The board of nodes asks for doses while watched, between the run's.
    connect(ui.calibration_check_box, SIGNAL(clicked(bool)), m_pSession, SLOT(SetRunActive(bool)));
    connect(m_pSendTimer, SIGNAL(timeout()), m_pSession, SLOT(NoteRunRequest()));
    connect(m_pSession, SIGNAL(RequestDue()), this, SLOT(SendTimeout()));
}

void SetwiseDosegate::OnConnectButtonClicked()
{
    m_pSocket->ConnectServer();
}

QString SetwiseDosegate::GetServerIp() const
{
    return ui.m_pLineEdit_ip->text();
}

void SetwiseDosegate::FillConnectPage(const QString& host, const QString& port)
{
    if (!host.isEmpty())
        ui.m_pLineEdit_ip->setText(host);
    if (!port.isEmpty())
        ui.m_pLineEdit_port->setText(port);
}

int SetwiseDosegate::GetServerPort() const
{
    // 0 when not a number or out of range: "70000" must not reach port 4464.
    return ui.m_pLineEdit_port->text().toUShort(nullptr, 10);
}

void SetwiseDosegate::SetStateText(const QString& text)
{
    ui.m_pLabel_state->setText(text);
}

void SetwiseDosegate::ShowDoseLine(int id, int count, int tag)
{
    ui.m_pLabel_dose->setText(FrameProtocol::FormatDoseLine(id, count, tag, m_clock.Local(ArrivalMs()).time()));
}

qint64 SetwiseDosegate::ArrivalMs() const
{
    return m_pSession->ArrivalMs();
}

int SetwiseDosegate::GetCalibrationId() const
{
    return m_nCalibrationId;
}

void SetwiseDosegate::StoreCalibrationId(int id)
{
    m_nCalibrationId = id;
}

void SetwiseDosegate::SetLastCoefficients(double c1, double c2, double c3)
{
    ui.doubleSpinBox_lastCoe_1->setValue(c1);
    ui.doubleSpinBox_lastCoe_2->setValue(c2);
    ui.doubleSpinBox_lastCoe_3->setValue(c3);
    // The node that answered, which the page's id may have left since.
    const int id = m_pSocket->RelayedNodeId();
    m_pSession->TakeCoefficients(id >= 0 ? id : int(m_nCalibrationId), c1, c2, c3);
}
