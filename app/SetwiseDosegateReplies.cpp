// What the window does with each acknowledgement the device sends.
#include "SetwiseDosegate.h"

#include "CalibrationFigures.h"
#include "FrameProtocol.h"
#include "ReadingTrend.h"

#include <QMessageBox>
#include <QTimer>

using namespace FrameProtocol;

namespace {

// Box texts end in runs of blanks that widen the box; the counts are part of
// the texts.
constexpr int kWideBox = 11;
constexpr int kThresholdBlanks = 32;
constexpr int kStepBlanks = 1;

const char* const kIdChanged = "Device completes node ID setting: The device ID has been successfully modified!";

struct Confirmation {
    int type;
    const char* title;
    const char* text;
};

// The replies that only confirm; the threshold, potentiometer, unit and
// alarm-test replies have reactions of their own.
const Confirmation kConfirmations[] = {
    { ReplySwitches, "Set screen display and alarm switches", "Set screen display and alarm switches!" },
    { ReplyDetectorParameters, "Set detector parameters", "Device completes detector parameter settings!" },
    { ReplyNodeId, "Modify nodes ID: Modify device ID", kIdChanged },
    { ReplyLanguage, "set language", "Device completes language settings!" },
    { ReplyPrecision, "Setting Precision", "Device completes accuracy setting!" },
    { ReplyCoefficients, "SetCalibration", "Calibration Coefficient Success!" },
};

const char* UnitText(int unit)
{
    switch (unit) {
    case 0: return "Device completes display unit settings!-Gy";
    case 1: return "Device completes display unit settings!-Rad";
    default: return "Device completes display unit settings!-Sv";
    }
}

const char* AlarmTestText(int state)
{
    return state == 1 ? "The device is undergoing alarm testing" : "Turn off alarm testing";
}

} // namespace

void SetwiseDosegate::Analytical(int /*id*/, int y, int x)
{
    for (const Confirmation& c : kConfirmations) {
        if (c.type == x) {
            ShowConfirmation(c.title, c.text, kWideBox);
            return;
        }
    }
    switch (x) {
    case ReplyThreshold:
        m_pTimer->start(); // one box for a burst of threshold replies
        break;
    case ReplyPotentiometerUp:
        ShowPotentiometerStep("up", "-");
        break;
    case ReplyPotentiometerDown:
        ShowPotentiometerStep("down", "+");
        break;
    case ReplyDisplayUnit:
        ShowConfirmation("Set Display Units", UnitText(y), kWideBox);
        break;
    case ReplyAlarmTest:
        ShowConfirmation("Alarm testing", AlarmTestText(y), kWideBox);
        break;
    default: // not a reply the window knows
        break;
    }
}

// The threshold reply reuses the node-id sentence, padded wider.
void SetwiseDosegate::OnTimeout()
{
    m_pTimer->stop();
    ShowConfirmation("Set threshold", kIdChanged, kThresholdBlanks);
}

void SetwiseDosegate::ShowConfirmation(const char* title, const char* text, int blanks)
{
    QMessageBox::about(this, QString::fromLocal8Bit(title),
                       QString::fromLocal8Bit(text) + QString(blanks, QLatin1Char(' ')));
}

// The box runs a nested event loop: rows may have been added by the time the
// operator closes it, and the mark goes to the row that is newest then.
void SetwiseDosegate::ShowPotentiometerStep(const char* title, const char* suffix)
{
    ShowConfirmation(title, "success", kStepBlanks);
    const int rows = ui.tableWidget_for_potentiometer->rowCount();
    const int steps = ui.n_SpinBox_potentiometer->value();
    if (rows >= 1) {
        ui.tableWidget_for_potentiometer->setItem(
            rows - 1, 0, new QTableWidgetItem(QString::number(steps) + QLatin1String(suffix)));
    }
    m_pFigures->RestartAveraging(); // at the new gain
    ui.as_found_button->setEnabled(false);
    ui.as_left_button->setEnabled(false);
    m_pTrend->MarkStep();
}
