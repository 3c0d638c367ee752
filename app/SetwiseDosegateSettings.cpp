// The settings page and the potentiometer buttons: each "Set up" reads its
// controls and sends one command; the node's answer comes back as a reply.
#include "SetwiseDosegate.h"

#include "FrameProtocol.h"
#include "WriteDataFrame.h"

#include <QCoreApplication>

namespace {

constexpr int kMaxPotentiometerSetSteps = 32;

// Unchecked and partly checked send 0, checked sends 1.
int FlagOf(const QCheckBox* box)
{
    return int(box->checkState()) / 2;
}

// The labels' words are the form's, in the form's context of the catalogue.
const char* const kForm = "SetwiseDosegateClass";

// Relabels the text beside a check box; the partly checked state changes
// nothing.
void Relabel(QLabel* label, int state, const char* unchecked, const char* checked)
{
    if (state == Qt::Unchecked)
        label->setText(QCoreApplication::translate(kForm, unchecked));
    else if (state == Qt::Checked)
        label->setText(QCoreApplication::translate(kForm, checked));
}

} // namespace

// The board takes the threshold as the node's alarm level once the node
// acknowledges it.
void SetwiseDosegate::OnThresholdButtonClicked()
{
    const int id = ui.m_pSpinBox_thr_id->value();
    m_pWriteDataFrame->SetThreshold(id, float(ui.m_pSpinBox_thr->value()));
    m_pSession->ThresholdSent(id, ui.m_pSpinBox_thr->value());
}

void SetwiseDosegate::OnShowSwitchButtonClicked()
{
    m_pWriteDataFrame->SetDisplaySwitch(ui.m_pSpinBox_switch_id->value(), FlagOf(ui.m_pCheckBox_on));
}

void SetwiseDosegate::OnParameterButtonClicked()
{
    const int type = ui.m_pComboBox_type->currentIndex();
    if (type < 0 || type >= FrameProtocol::kDetectorTypeCount)
        return;
    const FrameProtocol::DetectorParameters& p = FrameProtocol::kDetectorTypes[type];
    m_pWriteDataFrame->SetDetectorParameters(ui.m_pSpinBox_p_id->value(), p.p1, p.p2, p.p3);
}

// The other groups follow the new id at once, without waiting for the
// node's acknowledgement.
void SetwiseDosegate::OnChangedIdButtonClicked()
{
    const int newId = ui.m_pSpinBox_new_id->value();
    m_pWriteDataFrame->ChangeNodeId(ui.m_pSpinBox_old_id->value(), newId);
    for (QSpinBox* box : { ui.m_pSpinBox_thr_id, ui.m_pSpinBox_calib_id, ui.m_pSpinBox_switch_id,
                           ui.m_pSpinBox_p_id, ui.m_pSpinBox_lan_id, ui.m_pSpinBox_precision_id,
                           ui.m_pSpinBox_u_id, ui.id_for_potentiometer, ui.m_pSpinBox_alarm_id,
                           ui.m_pSpinBox_address })
        box->setValue(newId);
}

void SetwiseDosegate::OnChangedLanguageButtonClicked()
{
    m_pWriteDataFrame->SetLanguage(ui.m_pSpinBox_lan_id->value(), FlagOf(ui.m_pCheckBox_lan));
}

void SetwiseDosegate::OnSetPrecisionButtonClicked()
{
    m_pWriteDataFrame->SetPrecision(ui.m_pSpinBox_precision_id->value(), ui.m_pComboBox_precision->currentIndex());
}

void SetwiseDosegate::OnSetUintButtonClicked()
{
    const int unit = qMax(ui.m_pComboBox_unit->currentIndex(), 0);
    m_pWriteDataFrame->SetDisplayUnit(ui.m_pSpinBox_u_id->value(), unit);
}

void SetwiseDosegate::OnSetAlarmnButtonClicked()
{
    m_pWriteDataFrame->SetAlarmTest(ui.m_pSpinBox_alarm_id->value(), FlagOf(ui.m_pCheckBox_alarm));
}

void SetwiseDosegate::OnChangedAdressButtonClicked()
{
    m_pWriteDataFrame->ChangeSlaveAddress(ui.m_pSpinBox_address->value(), ui.m_pSpinBox_new_address->value());
}

// The button captioned "up" is named down and sends the down command, and
// the other way round: each follows its name.
void SetwiseDosegate::OnChangePontentiometerBtnDownClicked()
{
    m_pWriteDataFrame->PotentiometerDown(ui.id_for_potentiometer->value(), ui.n_SpinBox_potentiometer->value());
}

void SetwiseDosegate::OnChangePontentiometerBtnUpClicked()
{
    m_pWriteDataFrame->PotentiometerUp(ui.id_for_potentiometer->value(), ui.n_SpinBox_potentiometer->value());
}

void SetwiseDosegate::OnChangePontentiometerBtnClicked()
{
    const int steps = qMin(ui.n_SpinBox_potentiometer->value(), kMaxPotentiometerSetSteps);
    m_pWriteDataFrame->PotentiometerUp(ui.id_for_potentiometer->value(), steps);
}

void SetwiseDosegate::OnOncheckbox(int state)
{
    Relabel(ui.m_pLabel_on, state, QT_TRANSLATE_NOOP("SetwiseDosegateClass", "Off"),
            QT_TRANSLATE_NOOP("SetwiseDosegateClass", "On"));
}

void SetwiseDosegate::OnLancheckbox(int state)
{
    Relabel(ui.m_pLabel_lan, state, QT_TRANSLATE_NOOP("SetwiseDosegateClass", "Chinese"),
            QT_TRANSLATE_NOOP("SetwiseDosegateClass", "English"));
}

void SetwiseDosegate::OnAlarmcheckbox(int state)
{
    Relabel(ui.m_pLabel_alarm_test, state, QT_TRANSLATE_NOOP("SetwiseDosegateClass", "Off"),
            QT_TRANSLATE_NOOP("SetwiseDosegateClass", "On"));
}
