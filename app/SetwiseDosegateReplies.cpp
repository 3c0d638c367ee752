// What the window does with each acknowledgement the device sends.
#include "SetwiseDosegate.h"

#include "CalibrationFigures.h"
#include "FrameProtocol.h"
#include "ReadingTrend.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

using namespace FrameProtocol;

namespace {

// The boxes' words have a context of their own in the catalogues.
const char* const kBoxes = "ReplyBoxes";

// Box texts end in runs of blanks that widen the box; the counts are part of
// the English texts. A translated text is shown as it is.
constexpr int kWideBox = 11;
constexpr int kThresholdBlanks = 32;
constexpr int kStepBlanks = 1;

const char* const kIdChanged
    = QT_TRANSLATE_NOOP("ReplyBoxes", "Device completes node ID setting: The device ID has been successfully modified!");

struct Confirmation {
    int type;
    const char* title;
    const char* text;
};

// The replies that only confirm; the threshold, potentiometer, unit and
// alarm-test replies have reactions of their own.
const Confirmation kConfirmations[] = {
    { ReplySwitches, QT_TRANSLATE_NOOP("ReplyBoxes", "Set screen display and alarm switches"),
      QT_TRANSLATE_NOOP("ReplyBoxes", "Set screen display and alarm switches!") },
    { ReplyDetectorParameters, QT_TRANSLATE_NOOP("ReplyBoxes", "Set detector parameters"),
      QT_TRANSLATE_NOOP("ReplyBoxes", "Device completes detector parameter settings!") },
    { ReplyNodeId, QT_TRANSLATE_NOOP("ReplyBoxes", "Modify nodes ID: Modify device ID"), kIdChanged },
    { ReplyLanguage, QT_TRANSLATE_NOOP("ReplyBoxes", "set language"),
      QT_TRANSLATE_NOOP("ReplyBoxes", "Device completes language settings!") },
    { ReplyPrecision, QT_TRANSLATE_NOOP("ReplyBoxes", "Setting Precision"),
      QT_TRANSLATE_NOOP("ReplyBoxes", "Device completes accuracy setting!") },
    { ReplyCoefficients, QT_TRANSLATE_NOOP("ReplyBoxes", "SetCalibration"),
      QT_TRANSLATE_NOOP("ReplyBoxes", "Calibration Coefficient Success!") },
};

const char* UnitText(int unit)
{
    switch (unit) {
    case 0: return QT_TRANSLATE_NOOP("ReplyBoxes", "Device completes display unit settings!-Gy");
    case 1: return QT_TRANSLATE_NOOP("ReplyBoxes", "Device completes display unit settings!-Rad");
    default: return QT_TRANSLATE_NOOP("ReplyBoxes", "Device completes display unit settings!-Sv");
    }
}

const char* AlarmTestText(int state)
{
    return state == 1 ? QT_TRANSLATE_NOOP("ReplyBoxes", "The device is undergoing alarm testing")
                      : QT_TRANSLATE_NOOP("ReplyBoxes", "Turn off alarm testing");
}

QString Translated(const char* text)
{
    return QCoreApplication::translate(kBoxes, text);
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
        ShowPotentiometerStep(QT_TRANSLATE_NOOP("ReplyBoxes", "up"), "-");
        break;
    case ReplyPotentiometerDown:
        ShowPotentiometerStep(QT_TRANSLATE_NOOP("ReplyBoxes", "down"), "+");
        break;
    case ReplyDisplayUnit:
        ShowConfirmation(QT_TRANSLATE_NOOP("ReplyBoxes", "Set Display Units"), UnitText(y), kWideBox);
        break;
    case ReplyAlarmTest:
        ShowConfirmation(QT_TRANSLATE_NOOP("ReplyBoxes", "Alarm testing"), AlarmTestText(y), kWideBox);
        break;
    default: // not a reply the window knows
        break;
    }
}

// The threshold reply reuses the node-id sentence, padded wider.
void SetwiseDosegate::OnTimeout()
{
    m_pTimer->stop();
    ShowConfirmation(QT_TRANSLATE_NOOP("ReplyBoxes", "Set threshold"), kIdChanged, kThresholdBlanks);
}

void SetwiseDosegate::ShowConfirmation(const char* title, const char* text, int blanks)
{
    const QString shown = Translated(text);
    const bool english = shown == QLatin1String(text);
    QMessageBox::about(this, Translated(title), english ? shown + QString(blanks, QLatin1Char(' ')) : shown);
}

// The box runs a nested event loop: rows may have been added by the time the
// operator closes it, and the mark goes to the row that is newest then.
void SetwiseDosegate::ShowPotentiometerStep(const char* title, const char* suffix)
{
    ShowConfirmation(title, QT_TRANSLATE_NOOP("ReplyBoxes", "success"), kStepBlanks);
    const int rows = m_pSession->Report().Rows();
    const int steps = ui.n_SpinBox_potentiometer->value();
    const QString mark = QString::number(steps) + QLatin1String(suffix);
    if (rows >= 1)
        ui.tableWidget_for_potentiometer->setItem(rows - 1, 0, new QTableWidgetItem(mark));
    m_pSession->MarkStep(mark);
    RestartFigures(); // at the new gain
    ui.as_found_button->setEnabled(false);
    ui.as_left_button->setEnabled(false);
    if (m_pTrend)
        m_pTrend->Changed();
}
