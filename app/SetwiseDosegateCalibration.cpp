// The calibration page: read the coefficients back, compute new ones from
// true and measured values, write them, reset the fields.
#include "SetwiseDosegate.h"

#include "WriteDataFrame.h"

void SetwiseDosegate::OnGetCalibrationBtnClicked()
{
    m_pWriteDataFrame->GetCalibrationCoefficients(ui.m_pSpinBox_calib_id->value());
}

// The session computes each range's coefficient within what its field
// holds, and keeps any clamp, since Set would write the clamped value.
void SetwiseDosegate::OnCalcCalibrationClicked()
{
    const struct {
        QDoubleSpinBox* trueValue;
        QDoubleSpinBox* measured;
        QDoubleSpinBox* current;
        QDoubleSpinBox* result;
    } ranges[] = {
        { ui.doubleSpinBox_tvalue_1, ui.doubleSpinBox_mvalue_1, ui.doubleSpinBox_lastCoe_1, ui.doubleSpinBox_calib_1 },
        { ui.doubleSpinBox_tvalue_2, ui.doubleSpinBox_mvalue_2, ui.doubleSpinBox_lastCoe_2, ui.doubleSpinBox_calib_2 },
        { ui.doubleSpinBox_tvalue_3, ui.doubleSpinBox_mvalue_3, ui.doubleSpinBox_lastCoe_3, ui.doubleSpinBox_calib_3 },
    };
    int range = 0;
    for (const auto& r : ranges) {
        ++range;
        r.result->setValue(m_pSession->Coefficient(ui.m_pSpinBox_calib_id->value(), range, r.trueValue->value(),
                                                   r.measured->value(), r.current->value(), r.result->minimum(),
                                                   r.result->maximum()));
    }
}

void SetwiseDosegate::OnSetCalibrationClicked()
{
    m_pWriteDataFrame->SetCalibrationCoefficients(ui.m_pSpinBox_calib_id->value(), ui.doubleSpinBox_calib_1->value(),
                                                  ui.doubleSpinBox_calib_2->value(), ui.doubleSpinBox_calib_3->value());
}

void SetwiseDosegate::OnResetBtnClicked()
{
    for (QDoubleSpinBox* field : { ui.doubleSpinBox_calib_1, ui.doubleSpinBox_calib_2, ui.doubleSpinBox_calib_3,
                                   ui.doubleSpinBox_tvalue_1, ui.doubleSpinBox_tvalue_2, ui.doubleSpinBox_tvalue_3,
                                   ui.doubleSpinBox_mvalue_1, ui.doubleSpinBox_mvalue_2, ui.doubleSpinBox_mvalue_3,
                                   ui.doubleSpinBox_lastCoe_1, ui.doubleSpinBox_lastCoe_2, ui.doubleSpinBox_lastCoe_3 })
        field->setValue(1.0);
}
