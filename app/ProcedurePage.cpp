#include "ProcedurePage.h"

#include "CalibrationFigures.h"
#include "CalibrationProcedure.h"
#include "ConsoleSession.h"
#include "ReferenceSource.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kSerialChars = 24;
constexpr int kRunPage = 3;

QDoubleSpinBox* Figure(double maximum, int decimals, const QString& suffix)
{
    auto* box = new QDoubleSpinBox;
    box->setRange(0, maximum);
    box->setDecimals(decimals);
    box->setSuffix(suffix);
    return box;
}

} // namespace

ProcedurePage::ProcedurePage(ConsoleSession* session, QAbstractButton* runSwitch, QWidget* parent)
    : QWidget(parent)
    , m_pSession(session)
    , m_pProcedure(session->Procedure())
    , m_pRunSwitch(runSwitch)
    , m_pSteps(new QListWidget)
    , m_pPages(new QStackedWidget)
    , m_pNextText(new QLabel)
    , m_pMissing(new QLabel)
    , m_pProgress(new QProgressBar)
    , m_pNext(new QPushButton(tr("Next")))
{
    setObjectName("procedure_page");
    m_pNext->setObjectName("procedure_next");
    m_pProgress->setObjectName("procedure_progress");
    m_pMissing->setObjectName("procedure_missing");
    m_pNextText->setObjectName("procedure_next_text");
    m_pNextText->setWordWrap(true);
    m_pMissing->setWordWrap(true);
    m_pMissing->setStyleSheet("color: #a04000;");
    for (int step = CalibrationProcedure::Item; step <= CalibrationProcedure::Finish; ++step)
        m_pSteps->addItem(QString("%1. %2").arg(step + 1).arg(
            CalibrationProcedure::StepName(CalibrationProcedure::Step(step))));
    m_pSteps->setSelectionMode(QAbstractItemView::NoSelection);
    m_pSteps->setFocusPolicy(Qt::NoFocus);
    m_pSteps->setMaximumWidth(180);

    m_pPages->addWidget(BuildItemPage());
    m_pPages->addWidget(BuildReferencePage());
    m_pPages->addWidget(BuildBackgroundPage());
    m_pPages->addWidget(BuildRunPage());
    m_pPages->addWidget(BuildAdjustPage());
    m_pPages->addWidget(BuildFinishPage());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pProgress, 1);
    buttons->addWidget(m_pNext, 0, Qt::AlignRight);
    auto* right = new QVBoxLayout;
    right->addWidget(m_pPages, 1);
    right->addWidget(m_pMissing);
    right->addWidget(m_pNextText);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pSteps);
    layout->addLayout(right, 1);

    if (parent)
        parent->window()->installEventFilter(this);
    connect(m_pNext, SIGNAL(clicked()), this, SLOT(OnNext()));
    connect(m_pProcedure, SIGNAL(StepChanged(int)), this, SLOT(Refresh()));
    connect(m_pProcedure, SIGNAL(PointTaken(int, int)), this, SLOT(Refresh()));
    connect(m_pProcedure, SIGNAL(StepFinished(int)), this, SLOT(Refresh()));
    connect(m_pProcedure, SIGNAL(StateChanged()), this, SLOT(Refresh()));
    connect(m_pProcedure, SIGNAL(RunStarted(int)), this, SLOT(OnRunStarted()));
    connect(m_pProcedure, SIGNAL(RunProgress(int, int)), this, SLOT(OnProgress(int, int)));
    connect(m_pProcedure, SIGNAL(PointTaken(int, int)), this, SLOT(OnPointTaken(int, int)));
    OnFieldsEdited();
}

QWidget* ProcedurePage::BuildItemPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    m_pNode = new QSpinBox;
    m_pNode->setRange(1, 255);
    m_pNode->setObjectName("procedure_node");
    m_pSerial = new QLineEdit;
    m_pSerial->setObjectName("procedure_serial");
    m_pSerial->setMinimumWidth(m_pSerial->fontMetrics().horizontalAdvance(QString(kSerialChars + 2, QChar('W'))));
    m_pSerialConfirmed = new QCheckBox(tr("Same item as the register's"));
    m_pSerialConfirmed->setObjectName("procedure_serial_confirmed");
    m_pSameField = new QCheckBox(tr("Same reference field and background as the last node"));
    m_pSameField->setObjectName("procedure_same_field");
    m_pSameField->setChecked(true);
    m_pManufacturer = new QLineEdit;
    m_pModel = new QLineEdit;
    m_pCustomer = new QLineEdit;
    m_pCustomerAddress = new QLineEdit;
    m_pPlace = new QLineEdit;
    m_pManufacturer->setObjectName("procedure_manufacturer");
    m_pModel->setObjectName("procedure_model");
    m_pCustomer->setObjectName("procedure_customer");
    m_pPlace->setObjectName("procedure_place");
    form->addRow(tr("Node"), m_pNode);
    form->addRow(tr("Serial number"), m_pSerial);
    form->addRow(QString(), m_pSerialConfirmed);
    form->addRow(tr("Manufacturer"), m_pManufacturer);
    form->addRow(tr("Model"), m_pModel);
    form->addRow(tr("Customer"), m_pCustomer);
    form->addRow(tr("Customer's address"), m_pCustomerAddress);
    form->addRow(tr("Place of calibration"), m_pPlace);
    form->addRow(QString(), m_pSameField);
    for (QLineEdit* edit : { m_pSerial, m_pManufacturer, m_pModel, m_pCustomer, m_pCustomerAddress, m_pPlace })
        connect(edit, SIGNAL(textChanged(QString)), this, SLOT(OnFieldsEdited()));
    connect(m_pNode, SIGNAL(valueChanged(int)), this, SLOT(OnFieldsEdited()));
    connect(m_pSerialConfirmed, SIGNAL(toggled(bool)), this, SLOT(OnFieldsEdited()));
    connect(m_pSameField, SIGNAL(toggled(bool)), this, SLOT(OnFieldsEdited()));
    return page;
}

QWidget* ProcedurePage::BuildReferencePage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    m_pPointCount = new QSpinBox;
    m_pPointCount->setRange(1, CalibrationProcedure::kMaxPoints);
    m_pTolerance = Figure(100, 1, QStringLiteral(" %"));
    m_pTolerance->setValue(10);
    m_pPointCount->setObjectName("procedure_points");
    m_pTolerance->setObjectName("procedure_tolerance");
    form->addRow(tr("Points (ranges)"), m_pPointCount);
    form->addRow(tr("Tolerance"), m_pTolerance);
    for (int i = 0; i < CalibrationProcedure::kMaxPoints; ++i) {
        auto* value = Figure(1e7, 4, QStringLiteral(" μSv/h"));
        auto* u = Figure(100, 2, QStringLiteral(" %"));
        value->setObjectName(QString("procedure_true_value_%1").arg(i + 1));
        auto* row = new QHBoxLayout;
        row->addWidget(value);
        row->addWidget(new QLabel(tr("U (k = 2)")));
        row->addWidget(u);
        form->addRow(tr("Point %1, true value").arg(i + 1), row);
        m_listTrueValue << value;
        m_listReferenceU << u;
        connect(value, SIGNAL(valueChanged(double)), this, SLOT(OnFieldsEdited()));
        connect(u, SIGNAL(valueChanged(double)), this, SLOT(OnFieldsEdited()));
    }
    connect(m_pPointCount, SIGNAL(valueChanged(int)), this, SLOT(OnFieldsEdited()));
    connect(m_pTolerance, SIGNAL(valueChanged(double)), this, SLOT(OnFieldsEdited()));
    layout->addLayout(form);

    // From the source's certificate: decay and inverse square to this point.
    auto* source = new QFormLayout;
    m_pNuclide = new QComboBox;
    for (auto nuclide : { ReferenceSource::Cs137, ReferenceSource::Co60, ReferenceSource::Am241,
                          ReferenceSource::Ra226 })
        m_pNuclide->addItem(ReferenceSource::Key(nuclide), int(nuclide));
    m_pSourceRate = Figure(1e7, 4, QStringLiteral(" μSv/h"));
    m_pSourceU = Figure(100, 2, QStringLiteral(" %"));
    m_pSourceDate = new QDateEdit(QDate::currentDate());
    m_pSourceDate->setCalendarPopup(true);
    m_pSourceDistance = Figure(100, 3, QStringLiteral(" m"));
    m_pSourceDistance->setValue(1);
    m_pPointDistance = Figure(100, 3, QStringLiteral(" m"));
    m_pPointDistance->setValue(1);
    m_pSourcePoint = new QSpinBox;
    m_pSourcePoint->setRange(1, CalibrationProcedure::kMaxPoints);
    m_pSourceResult = new QLabel;
    auto* compute = new QPushButton(tr("Compute the true value"));
    auto* certificate = new QHBoxLayout;
    certificate->addWidget(m_pNuclide);
    certificate->addWidget(m_pSourceRate);
    certificate->addWidget(new QLabel(tr("U (k = 2)")));
    certificate->addWidget(m_pSourceU);
    source->addRow(tr("Source certificate"), certificate);
    auto* at = new QHBoxLayout;
    at->addWidget(m_pSourceDate);
    at->addWidget(new QLabel(tr("at")));
    at->addWidget(m_pSourceDistance);
    source->addRow(tr("Reference date and distance"), at);
    auto* point = new QHBoxLayout;
    point->addWidget(m_pSourcePoint);
    point->addWidget(new QLabel(tr("at")));
    point->addWidget(m_pPointDistance);
    point->addWidget(compute);
    source->addRow(tr("Point and its distance"), point);
    source->addRow(QString(), m_pSourceResult);
    layout->addLayout(source);
    layout->addStretch();
    connect(compute, SIGNAL(clicked()), this, SLOT(OnComputeTrueValue()));
    return page;
}

QWidget* ProcedurePage::BuildBackgroundPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    m_pBackground = Figure(1e7, 4, QStringLiteral(" μSv/h"));
    m_pBackgroundU = Figure(1e7, 4, QStringLiteral(" μSv/h"));
    form->addRow(tr("Background, source shielded"), m_pBackground);
    form->addRow(tr("Its U (k = 2)"), m_pBackgroundU);
    form->addRow(new QLabel(tr("Type it, or measure it on the potentiometer page (Use as background) and copy it here.")));
    connect(m_pBackground, SIGNAL(valueChanged(double)), this, SLOT(OnFieldsEdited()));
    connect(m_pBackgroundU, SIGNAL(valueChanged(double)), this, SLOT(OnFieldsEdited()));
    return page;
}

QWidget* ProcedurePage::BuildRunPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    m_pRunText = new QLabel;
    m_pRunText->setObjectName("procedure_run");
    m_pRunText->setWordWrap(true);
    m_pTaken = new QLabel;
    m_pTaken->setObjectName("procedure_taken");
    layout->addWidget(m_pRunText);
    layout->addWidget(m_pTaken);
    layout->addStretch();
    return page;
}

QWidget* ProcedurePage::BuildAdjustPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* words = new QLabel(tr("Calc on the points as found (ranges not measured keep their coefficients), "
                                "then Set. The node's coefficients are read back and compared with what was "
                                "written; as left follows when they match."));
    m_pCalc = new QPushButton(tr("Calc"));
    m_pCalc->setObjectName("procedure_calc");
    m_pSet = new QPushButton(tr("Set"));
    m_pSet->setObjectName("procedure_set");
    auto* calcAndSet = new QHBoxLayout;
    calcAndSet->addWidget(m_pCalc);
    calcAndSet->addWidget(m_pSet);
    calcAndSet->addStretch();
    connect(m_pCalc, SIGNAL(clicked()), this, SLOT(OnCalc()));
    connect(m_pSet, SIGNAL(clicked()), this, SIGNAL(SetRequested()));
    words->setWordWrap(true);
    m_pSkipAdjust = new QPushButton(tr("Skip: every point passes as found"));
    m_pSkipAdjust->setObjectName("procedure_skip_adjust");
    layout->addWidget(words);
    layout->addLayout(calcAndSet);
    layout->addWidget(m_pSkipAdjust);
    m_pAdjustState = new QLabel;
    m_pAdjustState->setObjectName("procedure_adjust_state");
    m_pAdjustState->setWordWrap(true);
    layout->addWidget(m_pAdjustState);
    layout->addStretch();
    connect(m_pSkipAdjust, SIGNAL(clicked()), this, SLOT(OnSkipAdjust()));
    return page;
}

QWidget* ProcedurePage::BuildFinishPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    m_pFinish = new QPushButton(tr("Finish: keep the record"));
    m_pFinish->setObjectName("procedure_finish");
    layout->addWidget(m_pFinish);
    m_pFinishState = new QLabel;
    layout->addWidget(m_pFinishState);
    layout->addStretch();
    connect(m_pFinish, SIGNAL(clicked()), this, SLOT(OnFinish()));
    return page;
}

void ProcedurePage::SetCalcFields(const QList<QDoubleSpinBox*>& trueValues, const QList<QDoubleSpinBox*>& measured,
                                  QSpinBox* node)
{
    m_listCalcTrue = trueValues;
    m_listCalcMeasured = measured;
    m_pCalcNode = node;
}

void ProcedurePage::SetCurrentCoefficientFields(const QList<QDoubleSpinBox*>& fields)
{
    m_listCalcCurrent = fields;
}

void ProcedurePage::OnPointTaken(int step, int point)
{
    GivePoint(step, point, true);
}

// The point goes to the book as the manual As found and As left give it;
// as found, it is also what Calc works on.
void ProcedurePage::GivePoint(int step, int point, bool toCalc)
{
    const ConsoleSession::CalcEntry entry = m_pSession->TakeProcedurePoint(step, point);
    const int range = entry.range - 1; // none as left
    if (!toCalc || range < 0 || range >= m_listCalcTrue.size() || range >= m_listCalcMeasured.size())
        return;
    if (m_pCalcNode)
        m_pCalcNode->setValue(entry.node);
    m_listCalcTrue[range]->setValue(entry.trueValue);
    m_listCalcMeasured[range]->setValue(entry.measured);
}

void ProcedurePage::SetReadingsTable(QTableWidget* table)
{
    m_pTable = table;
    connect(table->model(), SIGNAL(dataChanged(QModelIndex, QModelIndex)), this,
            SLOT(GreySettlingRows(QModelIndex)));
}

// The table restarts with each run and gains a row a reading, so its first
// rows are the readings the run leaves out.
void ProcedurePage::GreySettlingRows(const QModelIndex& topLeft)
{
    const PointRun* run = m_pProcedure->Run();
    if (!m_pTable || !run || topLeft.row() >= m_pProcedure->RunSettings().settlingReadings)
        return;
    QTableWidgetItem* item = m_pTable->item(topLeft.row(), topLeft.column());
    if (item && item->foreground().color() != Qt::gray) {
        item->setForeground(Qt::gray);
        item->setToolTip(tr("Settling: left out of the point's figures"));
    }
}

bool ProcedurePage::CalibrationOpen() const
{
    const CalibrationProcedure::Step step = m_pProcedure->CurrentStep();
    return step > CalibrationProcedure::Background && step < CalibrationProcedure::Done
        && !(step == CalibrationProcedure::Finish && m_pProcedure->StepDone());
}

// What is kept survives the close, but a run under way is lost and the
// node is left between as found and as left: the operator decides.
bool ProcedurePage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == window() && CalibrationOpen()) {
        const auto answer = QMessageBox::question(
            window(), tr("Calibration open"),
            tr("Node %1's calibration is open at step %2, %3. Close the console anyway? It reopens there at the next start.")
                .arg(m_pProcedure->ItemIdentity().node)
                .arg(int(m_pProcedure->CurrentStep()) + 1)
                .arg(CalibrationProcedure::StepName(m_pProcedure->CurrentStep())));
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ProcedurePage::SetRegister(QAbstractItemModel* model, int serialColumn)
{
    m_pRegister = model;
    m_nSerialColumn = serialColumn;
}

// What the session reopened, in the fields, and its points in the book.
void ProcedurePage::ShowReopened(const QJsonObject& state)
{
    // The fields show what was kept; they must not write it over meanwhile.
    m_bRestoring = true;
    const CalibrationProcedure::Identity& item = m_pProcedure->ItemIdentity();
    const auto& points = m_pProcedure->Points();
    m_pPointCount->setValue(qMax(1, points.size()));
    for (int i = 0; i < points.size() && i < m_listTrueValue.size(); ++i) {
        m_listTrueValue[i]->setValue(points[i].trueValue);
        m_listReferenceU[i]->setValue(points[i].referenceUncertainty);
    }
    m_pNode->setValue(item.node);
    m_pSerial->setText(item.serial);
    m_pManufacturer->setText(item.manufacturer);
    m_pModel->setText(item.model);
    m_pCustomer->setText(item.customerName);
    m_pCustomerAddress->setText(item.customerAddress);
    m_pPlace->setText(item.place);
    m_bRestoring = false;
    emit NodeChosen(item.node);
    for (int i = 0; i < m_pProcedure->AsFoundPoints().size(); ++i)
        GivePoint(CalibrationProcedure::AsFound, i, !state.value("adjusted").toBool());
    for (int i = 0; i < m_pProcedure->AsLeftPoints().size(); ++i)
        GivePoint(CalibrationProcedure::AsLeft, i, false);
    Refresh();
    m_pMissing->setText(tr("Reopened: node %1's calibration stands at step %2, %3, as it was kept before the console stopped.")
                            .arg(item.node)
                            .arg(int(m_pProcedure->CurrentStep()) + 1)
                            .arg(CalibrationProcedure::StepName(m_pProcedure->CurrentStep())));
}

bool ProcedurePage::SerialInRegister(const QString& serial) const
{
    if (!m_pRegister || serial.trimmed().isEmpty())
        return false;
    for (int row = 0; row < m_pRegister->rowCount(); ++row) {
        if (m_pRegister->index(row, m_nSerialColumn).data().toString() == serial.trimmed())
            return true;
    }
    return false;
}

// Every field goes to the procedure as it is typed, so that Next and the
// line under it follow at once.
void ProcedurePage::OnFieldsEdited()
{
    if (m_bRestoring)
        return;
    CalibrationProcedure::Identity item;
    item.node = m_pNode->value();
    item.serial = m_pSerial->text().trimmed();
    item.manufacturer = m_pManufacturer->text();
    item.model = m_pModel->text();
    item.customerName = m_pCustomer->text();
    item.customerAddress = m_pCustomerAddress->text();
    item.place = m_pPlace->text();
    item.serialTaken = SerialInRegister(item.serial);
    item.serialConfirmed = item.serialTaken && m_pSerialConfirmed->isChecked();
    m_pSerialConfirmed->setVisible(item.serialTaken);
    if (m_pProcedure->CurrentStep() == CalibrationProcedure::Item) {
        m_pProcedure->SetIdentity(item);
        if (m_pProcedure->FieldAvailable())
            m_pProcedure->KeepField(m_pSameField->isChecked());
    }

    if (m_pProcedure->CurrentStep() <= CalibrationProcedure::Reference) {
        QList<CalibrationProcedure::ReferencePoint> points;
        for (int i = 0; i < m_pPointCount->value(); ++i) {
            const double value = m_listTrueValue[i]->value();
            points << CalibrationProcedure::ReferencePoint { value, m_listReferenceU[i]->value(),
                                                            ConsoleSession::RangeOf(value) };
        }
        m_pProcedure->SetPoints(points);
        m_pProcedure->SetTolerance(m_pTolerance->value());
    }
    for (int i = 0; i < CalibrationProcedure::kMaxPoints; ++i) {
        m_listTrueValue[i]->setEnabled(i < m_pPointCount->value());
        m_listReferenceU[i]->setEnabled(i < m_pPointCount->value());
    }
    if (m_pProcedure->CurrentStep() <= CalibrationProcedure::Background)
        m_pProcedure->SetBackground(m_pBackground->value(), m_pBackgroundU->value());
    Refresh();
}

void ProcedurePage::OnComputeTrueValue()
{
    ReferenceSource::Certificate certificate;
    ReferenceSource::FromKey(m_pNuclide->currentText(), &certificate.nuclide);
    certificate.doseRate = m_pSourceRate->value();
    certificate.doseRateUncertainty = m_pSourceU->value();
    certificate.referenceDate = m_pSourceDate->date();
    certificate.distance = m_pSourceDistance->value();
    const auto value
        = ReferenceSource::Compute(certificate, { m_pPointDistance->value(), 0 }, QDate::currentDate());
    if (!value.valid) {
        m_pSourceResult->setText(tr("The certificate's figures give no true value."));
        return;
    }
    const int point = m_pSourcePoint->value() - 1;
    m_listTrueValue[point]->setValue(value.doseRate);
    m_listReferenceU[point]->setValue(value.expanded);
    m_pSourceResult->setText(tr("%1 μSv/h today (decay × %2, distance × %3), U = %4 %")
                                 .arg(value.doseRate, 0, 'g', 5)
                                 .arg(value.decayFactor, 0, 'f', 5)
                                 .arg(value.distanceFactor, 0, 'g', 4)
                                 .arg(value.expanded, 0, 'f', 2));
}

void ProcedurePage::OnNext()
{
    const bool leavingItem = m_pProcedure->CurrentStep() == CalibrationProcedure::Item;
    if (leavingItem && m_pProcedure->StepDone())
        emit NodeChosen(m_pProcedure->ItemIdentity().node);
    const bool nextNode = m_pProcedure->CurrentStep() == CalibrationProcedure::Finish;
    m_pProcedure->Next();
    // Calc sends nothing: its coefficients wait in the fields for Set.
    if (m_pProcedure->CurrentStep() == CalibrationProcedure::Adjust && !m_pProcedure->AllAsFoundPass())
        OnCalc();
    if (nextNode && m_pProcedure->CurrentStep() == CalibrationProcedure::Item) {
        // The node first: each field's edit hands the whole item over.
        m_pNode->setValue(m_pProcedure->ItemIdentity().node);
        m_pSameField->setChecked(true);
        m_pSerialConfirmed->setChecked(false);
        m_pSerial->clear();
        m_pSerial->setFocus();
    }
    Refresh();
}

void ProcedurePage::OnSkipAdjust()
{
    m_pProcedure->SkipAdjust();
    Refresh();
}

// The points as found were measured with the coefficients found, which the
// node may no longer hold after a Set: Calc works from those.
void ProcedurePage::OnCalc()
{
    const QJsonArray found = m_pProcedure->AsFoundCoefficients();
    for (int i = 0; i < found.size() && i < m_listCalcCurrent.size(); ++i)
        m_listCalcCurrent[i]->setValue(found[i].toDouble());
    emit CalcRequested();
}

// Done when the book reports the record written.
void ProcedurePage::OnFinish()
{
    emit FinishRequested();
    Refresh();
}

// The readings page follows the run: its table restarts (the procedure's
// RunStarted reaches the window) and its run box is on.
void ProcedurePage::OnRunStarted()
{
    // Calc multiplies each range's coefficient by true over measured: a
    // range this node is not measured in must keep its own, not take
    // another node's ratio.
    if (m_pProcedure->CurrentStep() == CalibrationProcedure::AsFound && m_pProcedure->AsFoundPoints().isEmpty()) {
        for (QDoubleSpinBox* field : m_listCalcTrue + m_listCalcMeasured)
            field->setValue(1);
    }
    if (m_pRunSwitch && !m_pRunSwitch->isChecked())
        m_pRunSwitch->click();
    m_pProgress->setValue(0);
    Refresh();
}

void ProcedurePage::OnProgress(int percent, int readingsLeft)
{
    m_pProgress->setValue(percent);
    const PointRun* run = m_pProcedure->Run();
    if (!run)
        return;
    const PointRun::Figures& f = run->Current();
    const QString u = std::isfinite(f.expandedUncertainty)
        ? QString::number(f.expandedUncertainty, 'f', 2) + QStringLiteral(" %")
        : tr("not yet known");
    QString text = run->SettlingLeft() > 0
        ? tr("Point %1: settling, %2 readings left out.").arg(m_pProcedure->CurrentPoint() + 1).arg(run->SettlingLeft())
        : tr("Point %1: %2 readings, e = %3 %, U = %4; about %5 readings left.")
              .arg(m_pProcedure->CurrentPoint() + 1)
              .arg(f.n)
              .arg(f.error, 0, 'f', 2)
              .arg(u)
              .arg(readingsLeft);
    m_pRunText->setText(text);
}

void ProcedurePage::Refresh()
{
    const CalibrationProcedure::Step step = m_pProcedure->CurrentStep();
    for (int i = 0; i < m_pSteps->count(); ++i) {
        QFont font = m_pSteps->item(i)->font();
        font.setBold(i == int(step));
        m_pSteps->item(i)->setFont(font);
        m_pSteps->item(i)->setForeground(i < int(step) ? Qt::darkGreen : palette().color(QPalette::Text));
    }
    static const int pageOf[] = { 0, 1, 2, kRunPage, 4, kRunPage, 5, 5 };
    m_pPages->setCurrentIndex(pageOf[step]);
    const bool running = m_pProcedure->Run() && !m_pProcedure->Run()->Finished();
    const bool betweenPoints = (step == CalibrationProcedure::AsFound || step == CalibrationProcedure::AsLeft)
        && !running && !m_pProcedure->StepDone();
    m_pNext->setEnabled(m_pProcedure->StepDone() || betweenPoints);
    m_pMissing->setText(m_pProcedure->StepDone() ? QString() : m_pProcedure->Missing());
    m_pNextText->setText(m_pProcedure->NextText());
    m_pSkipAdjust->setEnabled(step == CalibrationProcedure::Adjust && m_pProcedure->AllAsFoundPass());
    m_pSameField->setVisible(step == CalibrationProcedure::Item && m_pProcedure->FieldAvailable());
    m_pCalc->setEnabled(step == CalibrationProcedure::Adjust && !m_pProcedure->StepDone());
    m_pSet->setEnabled(m_pCalc->isEnabled());
    m_pFinish->setEnabled(step == CalibrationProcedure::Finish && !m_pProcedure->StepDone());
    m_pFinishState->setText(step == CalibrationProcedure::Finish && m_pProcedure->StepDone()
                                ? tr("Node %1's record is kept.").arg(m_pProcedure->ItemIdentity().node)
                                : QString());
    m_pProgress->setVisible(pageOf[step] == kRunPage);
    const auto coefficients = [](const QJsonArray& values) {
        QStringList texts;
        for (const QJsonValue& value : values)
            texts << QString::number(value.toDouble(), 'f', 4);
        return texts.join(QStringLiteral(", "));
    };
    const CalibrationProcedure* p = m_pProcedure;
    QString adjust;
    if (!p->AsFoundCoefficients().isEmpty())
        adjust = tr("Found: %1.").arg(coefficients(p->AsFoundCoefficients()));
    if (!p->WrittenCoefficients().isEmpty())
        adjust += QLatin1Char(' ') + tr("Written: %1.").arg(coefficients(p->WrittenCoefficients()));
    if (step == CalibrationProcedure::Adjust && p->StepDone() && !p->ReadBackCoefficients().isEmpty())
        adjust += QLatin1Char(' ') + tr("Read back: %1, as written.").arg(coefficients(p->ReadBackCoefficients()));
    m_pAdjustState->setText(adjust.trimmed());
    const auto& taken = step == CalibrationProcedure::AsLeft ? m_pProcedure->AsLeftPoints()
                                                             : m_pProcedure->AsFoundPoints();
    QStringList lines;
    for (int i = 0; i < taken.size(); ++i) {
        const PointRun::Figures& f = taken[i].figures;
        lines << tr("Point %1 taken: %2 readings, mean %3 μSv/h, e = %4 %, U = %5 % (k = %6): %7")
                     .arg(i + 1)
                     .arg(f.n)
                     .arg(f.mean, 0, 'g', 5)
                     .arg(f.error, 0, 'f', 2)
                     .arg(f.expandedUncertainty, 0, 'f', 2)
                     .arg(f.coverageFactor, 0, 'f', 2)
                     .arg(CalibrationFigures::VerdictText(CalibrationFigures::Verdict(f.verdict)));
    }
    m_pTaken->setText(lines.join('\n'));
    if (!running && pageOf[step] == kRunPage && taken.size() == m_pProcedure->Points().size())
        m_pProgress->setValue(100);
}
