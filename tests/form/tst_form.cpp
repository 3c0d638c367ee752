#include "ConsoleLanguage.h"
#include "WindowIcon.h"
#include "ui_NodesPage.h"
#include "ui_RecordsPage.h"
#include "ui_SetwiseDosegate.h"

#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QImage>
#include <QResource>
#include <QSet>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// One named object of the form and the properties a slip of the pen would
// break. Keys are Qt property names, plus a few handled by name:
// pointSize, family, weight (font), items (combo entries), rtl, spacing and
// margins (layouts). Widgets without a font key must inherit their parent's
// font, and widgets without rtl must be left-to-right.
struct Expect {
    QString name;
    QByteArray className;
    QString parent; // empty: not checked (the top widget and the tab pages)
    QVariantMap props;
};

const int Right = int(Qt::AlignRight | Qt::AlignVCenter);
const int Centre = int(Qt::AlignCenter);
const int Left = int(Qt::AlignLeft | Qt::AlignVCenter);

const QString Song = QStringLiteral("宋体");
const QString YaHei = QStringLiteral("微软雅黑");

QVariantMap Id() { return { { "minimum", 1 }, { "maximum", 255 }, { "value", 1 } }; }
QVariantMap SlaveAddress() { return { { "minimum", 0 }, { "maximum", 99 }, { "value", 0 } }; }

QVariantMap Coefficient()
{
    return { { "decimals", 4 }, { "minimum", 0.0001 }, { "maximum", 5.0 },
             { "singleStep", 0.0001 }, { "value", 1.0 } };
}

QVariantMap Reading()
{
    return { { "decimals", 4 }, { "minimum", 0.0001 }, { "maximum", 200000.0 },
             { "singleStep", 0.0001 }, { "value", 1.0 } };
}

QVariantMap GroupFrame()
{
    return { { "frameShape", int(QFrame::StyledPanel) }, { "frameShadow", int(QFrame::Plain) } };
}

QVariantMap Layout(int spacing, int margins) { return { { "spacing", spacing }, { "margins", margins } }; }

QVariantMap Label(const QString& text, int pointSize = 0, int alignment = Left)
{
    QVariantMap p { { "text", text }, { "alignment", alignment } };
    if (pointSize)
        p["pointSize"] = pointSize;
    return p;
}

QVariantMap With(QVariantMap p, const QVariantMap& more)
{
    for (auto it = more.begin(); it != more.end(); ++it)
        p[it.key()] = it.value();
    return p;
}

QVariantMap YaHeiLabel(const QString& text, int alignment = Left)
{
    return With(Label(text, 10, alignment), { { "family", YaHei } });
}

const QVector<Expect>& FormTable()
{
    static const QVector<Expect> table {
        // Window and its header and status rows.
        { "SetwiseDosegateClass", "QWidget", "",
          { { "windowTitle", "ZORVEK" }, { "autoFillBackground", false }, { "styleSheet", QString() } } },
        { "verticalLayout", "QVBoxLayout", "SetwiseDosegateClass", Layout(0, 11) },
        { "label_29", "QLabel", "SetwiseDosegateClass",
          Label(QString(41, QLatin1Char(' ')) + "Current version V1.3.4.1") },
        { "m_pLabel_dose", "QLabel", "SetwiseDosegateClass",
          With(Label("0.00", 30, Centre), { { "family", "Times New Roman" } }) },
        { "tabWidget", "QTabWidget", "SetwiseDosegateClass", { { "currentIndex", 0 } } },
        { "frame", "QFrame", "SetwiseDosegateClass",
          { { "frameShape", int(QFrame::StyledPanel) }, { "frameShadow", int(QFrame::Raised) },
            { "minimumHeight", 30 } } },
        { "horizontalLayout", "QHBoxLayout", "frame", Layout(0, 0) },
        { "label", "QLabel", "frame", Label("state:", 19, Right) },
        { "m_pLabel_state", "QLabel", "frame", Label("not connected", 19) },

        // Page "set".
        { "tab", "QWidget", "", {} },
        { "verticalLayout_2", "QVBoxLayout", "tab", Layout(6, 11) },

        { "frame_5", "QFrame", "tab", GroupFrame() },
        { "gridLayout_4", "QGridLayout", "frame_5", Layout(0, 0) },
        { "label_13", "QLabel", "frame_5", Label("Modify nodes ID", 15) },
        { "label_15", "QLabel", "frame_5", Label("Current ID:", 18) },
        { "m_pSpinBox_old_id", "QSpinBox", "frame_5", Id() },
        { "label_14", "QLabel", "frame_5", Label("Target ID:", 18, Right) },
        { "m_pSpinBox_new_id", "QSpinBox", "frame_5", Id() },
        { "m_pPushButton_changed_id", "QPushButton", "frame_5", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "frame_2", "QFrame", "tab", GroupFrame() },
        { "gridLayout", "QGridLayout", "frame_2", Layout(0, 0) },
        { "label_6", "QLabel", "frame_2", Label("Set threshold", 15) },
        { "label_7", "QLabel", "frame_2", Label("ID:", 18) },
        { "m_pSpinBox_thr_id", "QSpinBox", "frame_2", Id() },
        { "label_8", "QLabel", "frame_2", Label("Threshold:", 18, Right) },
        { "m_pSpinBox_thr", "QDoubleSpinBox", "frame_2",
          { { "decimals", 2 }, { "minimum", 0.0 }, { "maximum", 9999.99 }, { "singleStep", 1.0 }, { "value", 0.0 } } },
        { "m_pPushButton_thr", "QPushButton", "frame_2", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "frame_3", "QFrame", "tab", GroupFrame() },
        { "gridLayout_2", "QGridLayout", "frame_3", Layout(0, 0) },
        { "label_9", "QLabel", "frame_3", Label("Set screen and alarm display switches", 15) },
        { "label_22", "QLabel", "frame_3", Label("ID:", 18) },
        { "m_pSpinBox_switch_id", "QSpinBox", "frame_3", Id() },
        { "m_pCheckBox_on", "QCheckBox", "frame_3",
          { { "text", "On/Off" }, { "pointSize", 15 }, { "checked", false }, { "rtl", true } } },
        { "m_pLabel_on", "QLabel", "frame_3", Label("Off", 15, Centre) },
        { "m_pPushButton_switch", "QPushButton", "frame_3", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "frame_4", "QFrame", "tab", GroupFrame() },
        { "gridLayout_3", "QGridLayout", "frame_4", Layout(0, 0) },
        { "label_10", "QLabel", "frame_4", Label("Set parameters", 15) },
        { "label_12", "QLabel", "frame_4", Label("ID:", 18) },
        { "m_pSpinBox_p_id", "QSpinBox", "frame_4", Id() },
        { "label_11", "QLabel", "frame_4", Label("Type:", 18, Right) },
        { "m_pComboBox_type", "QComboBox", "frame_4",
          { { "items", QStringList { "DT-B", "DT-C", "DT-D", "DT-A" } }, { "currentIndex", 0 } } },
        { "m_pPushButton_parameter", "QPushButton", "frame_4", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "frame_6", "QFrame", "tab", GroupFrame() },
        { "gridLayout_5", "QGridLayout", "frame_6", Layout(0, 0) },
        { "label_16", "QLabel", "frame_6", Label("Set language", 15) },
        { "label_23", "QLabel", "frame_6", Label("ID:", 18) },
        { "m_pSpinBox_lan_id", "QSpinBox", "frame_6", Id() },
        { "m_pCheckBox_lan", "QCheckBox", "frame_6",
          { { "text", "English/Chinese" }, { "pointSize", 15 }, { "checked", false }, { "rtl", true } } },
        { "m_pLabel_lan", "QLabel", "frame_6", Label("Chinese", 15, Centre) },
        { "m_pPushButton_changed_lan", "QPushButton", "frame_6", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "frame_8", "QFrame", "tab", GroupFrame() },
        { "gridLayout_9", "QGridLayout", "frame_8", Layout(6, 11) },
        { "label_31", "QLabel", "frame_8", Label("Set Display Units", 15) },
        { "label_30", "QLabel", "frame_8", Label("ID:", 18) },
        { "m_pSpinBox_u_id", "QSpinBox", "frame_8", Id() },
        { "label_32", "QLabel", "frame_8", Label("Display unit:", 18, Right) },
        { "m_pComboBox_unit", "QComboBox", "frame_8",
          { { "items", QStringList { "Gy", "Rad", "Sv" } }, { "currentIndex", 0 } } },
        { "m_pPushButton_uint", "QPushButton", "frame_8", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "frame_7", "QFrame", "tab", GroupFrame() },
        { "gridLayout_6", "QGridLayout", "frame_7", Layout(0, 0) },
        { "label_17", "QLabel", "frame_7", Label("Setting Precision", 15) },
        { "m_pSpinBox_precision_id", "QSpinBox", "frame_7", Id() },
        { "label_18", "QLabel", "frame_7", Label("ID:", 18) },
        { "label_19", "QLabel", "frame_7", Label("Precision:", 18, Right) },
        { "m_pComboBox_precision", "QComboBox", "frame_7",
          { { "items", QStringList { "Two digit accuracy", "Three digit accuracy" } }, { "currentIndex", 0 } } },
        { "m_pPushButton_precision", "QPushButton", "frame_7", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "frame_10", "QFrame", "tab", GroupFrame() },
        { "gridLayout_8", "QGridLayout", "frame_10", Layout(6, 11) },
        { "label_34", "QLabel", "frame_10", Label("Alarm testing", 15) },
        { "label_33", "QLabel", "frame_10", Label("ID:", 18) },
        { "m_pSpinBox_alarm_id", "QSpinBox", "frame_10", Id() },
        { "m_pCheckBox_alarm", "QCheckBox", "frame_10",
          { { "text", "On/Off" }, { "pointSize", 15 }, { "checked", false }, { "rtl", true } } },
        { "m_pLabel_alarm_test", "QLabel", "frame_10", Label("On", 15, Centre) },
        { "m_pPushButton_changed_alarm", "QPushButton", "frame_10", { { "text", "Set up" }, { "pointSize", 15 } } },

        { "verticalLayout_3", "QVBoxLayout", "verticalLayout_2", { { "spacing", 6 } } },
        { "label_35", "QLabel", "tab", With(Label("Slave address", 16), { { "family", Song } }) },
        { "horizontalLayout_5", "QHBoxLayout", "verticalLayout_3", { { "spacing", 6 } } },
        { "label_36", "QLabel", "tab", With(Label(QStringLiteral(" ID："), 18), { { "family", Song } }) },
        { "m_pSpinBox_address", "QSpinBox", "tab", SlaveAddress() },
        { "label_38", "QLabel", "tab", With(Label("Target slave address:", 18), { { "family", Song } }) },
        { "m_pSpinBox_new_address", "QSpinBox", "tab", SlaveAddress() },
        { "m_pPushButton_address", "QPushButton", "tab", { { "text", "Set up" } } },

        // Page "Calibration".
        { "tab_3", "QWidget", "", {} },
        { "frame_9", "QFrame", "tab_3", With(GroupFrame(), { { "minimumSize", QSize(0, 141) } }) },
        { "gridLayout_7", "QGridLayout", "frame_9", Layout(0, 0) },
        { "label_24", "QLabel", "frame_9", Label("Calibration Coefficient", 15) },
        { "label_2", "QLabel", "frame_9", Label(QStringLiteral("(0μSv/h-200μSv/h)")) },
        { "label_3", "QLabel", "frame_9", Label(QStringLiteral("(200μSv/h-1mSv/h)")) },
        { "label_20", "QLabel", "frame_9", Label("(1mSv/h-upper)") },
        { "label_25", "QLabel", "frame_9", Label("ID:", 18) },
        { "m_pSpinBox_calib_id", "QSpinBox", "frame_9", Id() },
        { "label_26", "QLabel", "frame_9", Label("Coefficient", 13, Right) },
        { "doubleSpinBox_calib_1", "QDoubleSpinBox", "frame_9", Coefficient() },
        { "doubleSpinBox_calib_2", "QDoubleSpinBox", "frame_9", Coefficient() },
        { "doubleSpinBox_calib_3", "QDoubleSpinBox", "frame_9", Coefficient() },
        { "m_pSetCalibrationBtn", "QPushButton", "frame_9", { { "text", "Set" }, { "pointSize", 15 } } },
        { "m_pResetBtn", "QPushButton", "frame_9", { { "text", "Reset" } } },
        { "label_27", "QLabel", "frame_9", Label("     TrueValue", 13) },
        { "doubleSpinBox_tvalue_1", "QDoubleSpinBox", "frame_9", Reading() },
        { "doubleSpinBox_tvalue_2", "QDoubleSpinBox", "frame_9", Reading() },
        { "doubleSpinBox_tvalue_3", "QDoubleSpinBox", "frame_9", Reading() },
        { "m_pCalcCoefficientBtn", "QPushButton", "frame_9",
          { { "text", "Calc" }, { "pointSize", 14 }, { "family", "SimSun-ExtB" } } },
        { "label_21", "QLabel", "frame_9", Label("MeasuredValue", 13) },
        { "doubleSpinBox_mvalue_1", "QDoubleSpinBox", "frame_9", Reading() },
        { "doubleSpinBox_mvalue_2", "QDoubleSpinBox", "frame_9", Reading() },
        { "doubleSpinBox_mvalue_3", "QDoubleSpinBox", "frame_9", Reading() },
        { "label_28", "QLabel", "frame_9", Label("GetCoefficient", 13) },
        { "doubleSpinBox_lastCoe_1", "QDoubleSpinBox", "frame_9", Coefficient() },
        { "doubleSpinBox_lastCoe_2", "QDoubleSpinBox", "frame_9", Coefficient() },
        { "doubleSpinBox_lastCoe_3", "QDoubleSpinBox", "frame_9", Coefficient() },
        { "m_pGetCalibrationBtn", "QPushButton", "frame_9",
          { { "text", "Get" }, { "pointSize", 14 }, { "family", "SimSun-ExtB" } } },
        { "textEdit", "QTextEdit", "tab_3",
          { { "enabled", false }, { "minimumSize", QSize(601, 231) }, { "maximumSize", QSize(601, 231) } } },

        // Page "connect".
        { "tab_2", "QWidget", "", {} },
        { "label_4", "QLabel", "tab_2", Label("Ip:", 18, Right) },
        { "m_pLineEdit_ip", "QLineEdit", "tab_2", { { "text", "192.168.1.200" } } },
        { "label_5", "QLabel", "tab_2", Label("Port:", 18, Right) },
        { "m_pLineEdit_port", "QLineEdit", "tab_2", { { "text", "8888" } } },
        { "m_pPushButton_connect", "QPushButton", "tab_2", { { "text", "connect" } } },

        // Page "potentiometer"; the table's own smaller font lets all four
        // columns show whole.
        { "tab_for_potentiometer", "QWidget", "", { { "family", "Adobe Arabic" }, { "pointSize", 28 } } },
        { "label_43", "QLabel", "tab_for_potentiometer", YaHeiLabel("Start") },
        { "calibration_check_box", "QCheckBox", "tab_for_potentiometer",
          { { "text", QString() }, { "checked", false } } },
        { "n_SpinBox_potentiometer", "QSpinBox", "tab_for_potentiometer",
          { { "minimum", 0 }, { "maximum", 64 }, { "value", 10 }, { "family", "Arial" }, { "pointSize", 24 } } },
        { "m_potentiometer_up", "QPushButton", "tab_for_potentiometer",
          { { "text", "down" }, { "family", YaHei }, { "pointSize", 10 }, { "weight", int(QFont::Normal) } } },
        { "m_potentiometer_set", "QPushButton", "tab_for_potentiometer",
          { { "text", "set(1.4.15)" }, { "family", YaHei }, { "pointSize", 10 } } },
        { "m_potentiometer_down", "QPushButton", "tab_for_potentiometer",
          { { "text", "up" }, { "family", YaHei }, { "pointSize", 10 } } },
        { "label_52", "QLabel", "tab_for_potentiometer", YaHeiLabel("Average", Right) },
        { "average_group", "QLineEdit", "tab_for_potentiometer", { { "text", "20" } } },
        { "label_53", "QLabel", "tab_for_potentiometer", YaHeiLabel("True value", Right) },
        { "fixed_value_set", "QLineEdit", "tab_for_potentiometer", { { "text", "0.09" } } },
        { "label_54", "QLabel", "tab_for_potentiometer", YaHeiLabel("Calibration report", Right) },
        { "export_report", "QPushButton", "tab_for_potentiometer", { { "text", "..." } } },
        { "filename", "QLineEdit", "tab_for_potentiometer", { { "text", QString() } } },
        { "label_55", "QLabel", "tab_for_potentiometer", YaHeiLabel("Serial number: ", Right) },
        { "Serial_number", "QLineEdit", "tab_for_potentiometer", { { "text", "  000000" } } },
        { "label_56", "QLabel", "tab_for_potentiometer", YaHeiLabel("Serial Number") },
        { "label_57", "QLabel", "tab_for_potentiometer", YaHeiLabel("Value") },
        { "label_58", "QLabel", "tab_for_potentiometer", YaHeiLabel("Time") },
        { "label_59", "QLabel", "tab_for_potentiometer", YaHeiLabel("Gain") },
        { "tableWidget_for_potentiometer", "QTableWidget", "tab_for_potentiometer",
          { { "minimumWidth", 261 }, { "rtl", true }, { "family", "Adobe Arabic" }, { "pointSize", 18 } } },
        { "label_48", "QLabel", "tab_for_potentiometer", YaHeiLabel("ID", Right) },
        { "id_for_potentiometer", "QSpinBox", "tab_for_potentiometer", Id() },
        { "label_46", "QLabel", "tab_for_potentiometer", YaHeiLabel("upper limit", Right) },
        { "average_group_4", "QLabel", "tab_for_potentiometer", Label("1.1", 18) },
        { "label_50", "QLabel", "tab_for_potentiometer", YaHeiLabel("mean value", Right) },
        { "average_group_3", "QLabel", "tab_for_potentiometer", Label("0.0", 18) },
        { "m_potentiometer_id_3", "QLabel", "tab_for_potentiometer", Label(" uSv/h", 14) },
        { "label_47", "QLabel", "tab_for_potentiometer", YaHeiLabel("lower limit", Right) },
        { "average_group_5", "QLabel", "tab_for_potentiometer", Label("0.9", 18) },
        { "label_49", "QLabel", "tab_for_potentiometer", YaHeiLabel("Relative inherent error", Right) },
        { "relative_error", "QLineEdit", "tab_for_potentiometer", { { "text", "10" } } },
        { "label_37", "QLabel", "tab_for_potentiometer", Label("%", 20) },
        { "label_60", "QLabel", "tab_for_potentiometer", YaHeiLabel("coefficient of variation", Right) },
        { "variable_conefficient", "QLineEdit", "tab_for_potentiometer", { { "text", QString() } } },
        { "label_39", "QLabel", "tab_for_potentiometer", Label("%", 20) },
        { "label_61", "QLabel", "tab_for_potentiometer", YaHeiLabel("Relative inherent error", Right) },
        { "relative_error_2", "QLineEdit", "tab_for_potentiometer", { { "text", QString() } } },
        { "label_45", "QLabel", "tab_for_potentiometer", Label("%", 20) },
        // The uncertainty and the verdict, below the readings table.
        { "label_background", "QLabel", "tab_for_potentiometer", YaHeiLabel("Background") },
        { "background_value", "QLineEdit", "tab_for_potentiometer", { { "text", "0" }, { "pointSize", 14 } } },
        { "label_background_uncertainty", "QLabel", "tab_for_potentiometer", Label("±", 12) },
        { "background_uncertainty", "QLineEdit", "tab_for_potentiometer", { { "text", "0" }, { "pointSize", 14 } } },
        { "label_background_unit", "QLabel", "tab_for_potentiometer", Label("uSv/h", 12) },
        { "label_reference_uncertainty", "QLabel", "tab_for_potentiometer", YaHeiLabel("Reference U (k = 2)") },
        { "reference_uncertainty", "QLineEdit", "tab_for_potentiometer", { { "text", "0" }, { "pointSize", 14 } } },
        { "label_reference_uncertainty_unit", "QLabel", "tab_for_potentiometer", Label("%", 12) },
        { "label_standard_deviation", "QLabel", "tab_for_potentiometer", YaHeiLabel("Standard deviation") },
        { "standard_deviation", "QLineEdit", "tab_for_potentiometer",
          { { "text", QString() }, { "readOnly", true }, { "pointSize", 14 } } },
        { "label_standard_deviation_unit", "QLabel", "tab_for_potentiometer", Label("uSv/h", 12) },
        { "label_expanded_uncertainty", "QLabel", "tab_for_potentiometer", YaHeiLabel("Expanded uncertainty") },
        { "expanded_uncertainty", "QLineEdit", "tab_for_potentiometer",
          { { "text", QString() }, { "readOnly", true }, { "pointSize", 14 } } },
        { "label_expanded_uncertainty_unit", "QLabel", "tab_for_potentiometer", Label("%", 12) },
        { "coverage_factor", "QLabel", "tab_for_potentiometer", Label(QString(), 10) },
        { "label_decision_rule", "QLabel", "tab_for_potentiometer", YaHeiLabel("Decision rule") },
        { "decision_rule", "QComboBox", "tab_for_potentiometer",
          { { "items", QStringList { "simple acceptance", "guarded acceptance" } }, { "currentIndex", 0 },
            { "family", YaHei }, { "pointSize", 10 } } },
        { "label_verdict", "QLabel", "tab_for_potentiometer", YaHeiLabel("Verdict") },
        { "calibration_verdict", "QLabel", "tab_for_potentiometer",
          With(Label(QString(), 14), { { "weight", int(QFont::Bold) } }) },
        { "verdict_rule", "QLabel", "tab_for_potentiometer", YaHeiLabel(QString()) },
        { "as_found_button", "QPushButton", "tab_for_potentiometer",
          { { "text", "As found" }, { "enabled", false }, { "family", YaHei }, { "pointSize", 10 } } },
        { "as_left_button", "QPushButton", "tab_for_potentiometer",
          { { "text", "As left" }, { "enabled", false }, { "family", YaHei }, { "pointSize", 10 } } },
        { "use_as_background_button", "QPushButton", "tab_for_potentiometer",
          { { "text", "Use as background" }, { "family", YaHei }, { "pointSize", 10 } } },
        { "figures_remarks", "QLabel", "tab_for_potentiometer", With(YaHeiLabel(QString()), { { "wordWrap", true } }) },

        // Page "records", after the form's four.
        { "records", "QWidget", "", {} },
        { "verticalLayout_records", "QVBoxLayout", "records", {} },
        { "gridLayout_records", "QGridLayout", "verticalLayout_records", {} },
        { "label_records_operator", "QLabel", "records", YaHeiLabel("Operator", Right) },
        { "records_operator", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_reference_source", "QLabel", "records", YaHeiLabel("Reference source", Right) },
        { "records_reference_source", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_reference_certificate", "QLabel", "records", YaHeiLabel("Reference certificate", Right) },
        { "records_reference_certificate", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_reference_uncertainty", "QLabel", "records",
          YaHeiLabel("Reference expanded uncertainty (k = 2), %", Right) },
        { "records_reference_uncertainty", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_temperature", "QLabel", "records", YaHeiLabel("Temperature, °C", Right) },
        { "records_temperature", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_pressure", "QLabel", "records", YaHeiLabel("Pressure, kPa", Right) },
        { "records_pressure", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_humidity", "QLabel", "records", YaHeiLabel("Relative humidity, %", Right) },
        { "records_humidity", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_laboratory_name", "QLabel", "records", YaHeiLabel("Laboratory", Right) },
        { "records_laboratory_name", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_laboratory_address", "QLabel", "records", YaHeiLabel("Laboratory address", Right) },
        { "records_laboratory_address", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_customer", "QLabel", "records", YaHeiLabel("Customer", Right) },
        { "records_customer", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_place", "QLabel", "records", YaHeiLabel("Place of calibration", Right) },
        { "records_place", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_measurand", "QLabel", "records", YaHeiLabel("Measurand and radiation quality", Right) },
        { "records_measurand", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_procedure", "QLabel", "records", YaHeiLabel("Procedure", Right) },
        { "records_procedure", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_traceability", "QLabel", "records", YaHeiLabel("Traceability statement", Right) },
        { "records_traceability", "QLineEdit", "records", { { "pointSize", 10 } } },
        { "label_records_interval", "QLabel", "records", YaHeiLabel("Recalibration interval", Right) },
        { "records_interval", "QSpinBox", "records",
          { { "pointSize", 10 }, { "suffix", " months" }, { "minimum", 1 }, { "maximum", 120 }, { "value", 12 } } },
        { "horizontalLayout_finish", "QHBoxLayout", "verticalLayout_records", {} },
        { "open_calibration", "QLabel", "records", YaHeiLabel(QString()) },
        { "budget_button", "QPushButton", "records",
          { { "text", "Uncertainty budget..." }, { "family", YaHei }, { "pointSize", 10 } } },
        { "keys_button", "QPushButton", "records",
          { { "text", "Keys and approval..." }, { "family", YaHei }, { "pointSize", 10 } } },
        { "finish_calibration_button", "QPushButton", "records",
          { { "text", "Finish calibration" }, { "enabled", false }, { "family", YaHei }, { "pointSize", 10 } } },
        { "records_state", "QLabel", "records", With(YaHeiLabel(QString()), { { "wordWrap", true } }) },
        { "records_location", "QLabel", "records", With(YaHeiLabel(QString()), { { "wordWrap", true } }) },
        { "horizontalLayout_records_location", "QHBoxLayout", "verticalLayout_records", {} },
        { "records_local_button", "QPushButton", "records",
          { { "text", "Use the local file" }, { "family", YaHei }, { "pointSize", 10 } } },
        { "records_server_button", "QPushButton", "records",
          { { "text", "Lab server..." }, { "family", YaHei }, { "pointSize", 10 } } },
        { "certificate_state", "QLabel", "records", With(YaHeiLabel(QString()), { { "wordWrap", true } }) },
        { "node_register", "QTableView", "records", { { "sortingEnabled", true } } },
        { "horizontalLayout_node_calibrations", "QHBoxLayout", "verticalLayout_records", {} },
        { "node_calibrations_caption", "QLabel", "records", YaHeiLabel(QString()) },
        { "show_certificate_button", "QPushButton", "records",
          { { "text", "Show certificate" }, { "enabled", false }, { "family", YaHei }, { "pointSize", 10 } } },
        { "issue_again_button", "QPushButton", "records",
          { { "text", "Issue again" }, { "enabled", false }, { "family", YaHei }, { "pointSize", 10 } } },
        { "node_calibrations", "QTableView", "records", {} },

        // Page "nodes", after the form's four.
        { "nodes", "QWidget", "", {} },
        { "verticalLayout_nodes", "QVBoxLayout", "nodes", {} },
        { "nodes_watch_check_box", "QCheckBox", "nodes", { { "text", "Watch all nodes" }, { "checked", false } } },
        { "nodes_table", "QTableView", "nodes", {} },
    };
    return table;
}

// The form applied to a plain widget, as the window applies it to itself.
// The window's form with the records and nodes tabs' own, as the window
// has them once each tab has been shown.
struct Form {
    QWidget root;
    Ui::SetwiseDosegateClass ui;
    Ui::RecordsPage records;
    Ui::NodesPage nodes;
    Form()
    {
        ui.setupUi(&root);
        records.setupUi(ui.records);
        nodes.setupUi(ui.nodes);
    }
};

QString NameOf(QLayoutItem* item)
{
    if (item->widget())
        return item->widget()->objectName();
    if (item->layout())
        return item->layout()->objectName();
    return QStringLiteral("<spacer>");
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void everyNamedObjectIsListed();
    void calibrationPageKeepsItsArrangement();
    void connectPageKeepsItsArrangement();
    void objectProperties_data();
    void objectProperties();
    void layoutOrder_data();
    void layoutOrder();
    void arrangement_data();
    void arrangement();
    void gridCells_data();
    void gridCells();
    void gridsHoldNothingElse();
    void pagesInOrder();
    void readingsTable();
    void helpText();
    void windowTitleSizeAndIcon();
    void iconResourceIsStoredRaw();
    void idBoxesRefuseOutOfRangeTyping_data();
    void idBoxesRefuseOutOfRangeTyping();
    void numericFieldsClampAndRound();

private:
    // As on a German desktop: the console speaks English there, and every
    // text stands as written.
    const ConsoleLanguage m_language { ConsoleLanguage::Resolve(QString(), QLocale(QLocale::German)) };
};

void TestForm::everyNamedObjectIsListed()
{
    Form form;
    QSet<QString> listed;
    for (const Expect& e : FormTable())
        listed.insert(e.name);
    QCOMPARE(listed.size(), FormTable().size());

    QSet<QString> present { form.root.objectName() };
    for (QObject* o : form.root.findChildren<QObject*>()) {
        // Qt names the inner parts of composite widgets too: with a "qt_"
        // prefix, and the tab bar's scroll buttons without one.
        if (o->objectName().isEmpty() || o->objectName().startsWith(QLatin1String("qt_"))
            || qobject_cast<QTabBar*>(o->parent()))
            continue;
        // Layouts the team drew to arrange the drawn places are checked by
        // what users see (arrangement), not by name.
        if (qobject_cast<QLayout*>(o) && !listed.contains(o->objectName()))
            continue;
        present.insert(o->objectName());
    }
    QStringList unlisted = (present - listed).values();
    QStringList missing = (listed - present).values();
    unlisted.sort();
    missing.sort();
    QVERIFY2(unlisted.isEmpty(), qPrintable("not listed: " + unlisted.join(' ')));
    QVERIFY2(missing.isEmpty(), qPrintable("missing: " + missing.join(' ')));
}

// The page is laid out rather than placed, so that the grid can grow where
// the fonts are wider than it was drawn for; at its drawn size it keeps the
// drawn places.
void TestForm::calibrationPageKeepsItsArrangement()
{
    Form form;
    form.ui.tabWidget->setCurrentIndex(1);
    form.root.resize(669, 727);
    form.root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.root));
    const QRect frame = form.ui.frame_9->geometry();
    const QRect help = form.ui.textEdit->geometry();
    QCOMPARE(frame.topLeft(), QPoint(10, 30));
    QVERIFY(frame.width() >= 630 && frame.height() >= 141);
    QVERIFY2(frame.width() >= form.ui.frame_9->minimumSizeHint().width(), "the grid is never squeezed");
    QCOMPARE(help, QRect(20, frame.bottom() + 1 + 49, 601, 231));
}

// Laid out too, so that a larger desktop font widens what needs it; the
// drawn places stay.
void TestForm::connectPageKeepsItsArrangement()
{
    Form form;
    form.ui.tabWidget->setCurrentIndex(2);
    form.root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.root));
    const QList<QPair<QWidget*, QRect>> drawn {
        { form.ui.label_4, QRect(40, 150, 41, 31) },        { form.ui.m_pLineEdit_ip, QRect(90, 150, 161, 30) },
        { form.ui.label_5, QRect(270, 150, 61, 31) },       { form.ui.m_pLineEdit_port, QRect(340, 150, 61, 30) },
        { form.ui.m_pPushButton_connect, QRect(470, 150, 75, 31) },
    };
    for (const auto& d : drawn) {
        const QRect got = d.first->geometry();
        QVERIFY2(got.topLeft() == d.second.topLeft() && got.width() >= d.second.width()
                     && got.height() >= d.second.height(),
                 qPrintable(d.first->objectName()));
    }
    QCOMPARE(form.ui.m_pLineEdit_ip->width(), 161);
    QCOMPARE(form.ui.m_pLineEdit_port->width(), 61);
}

void TestForm::objectProperties_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QVariantMap>("props");
    for (const Expect& e : FormTable())
        QTest::newRow(qPrintable(e.name)) << e.name << e.className << e.parent << e.props;
}

void TestForm::objectProperties()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);
    QFETCH(QString, parent);
    QFETCH(QVariantMap, props);

    Form form;
    QObject* object = name == form.root.objectName() ? &form.root : form.root.findChild<QObject*>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(QByteArray(object->metaObject()->className()), className);
    if (!parent.isEmpty()) {
        QVERIFY(object->parent());
        QCOMPARE(object->parent()->objectName(), parent);
    }

    auto* widget = qobject_cast<QWidget*>(object);
    auto* layout = qobject_cast<QLayout*>(object);
    for (auto it = props.cbegin(); it != props.cend(); ++it) {
        const QString key = it.key();
        const QVariant want = it.value();
        if (key == "pointSize") {
            QCOMPARE(widget->font().pointSize(), want.toInt());
        } else if (key == "family") {
            QCOMPARE(widget->font().family(), want.toString());
        } else if (key == "weight") {
            QCOMPARE(widget->font().weight(), want.toInt());
        } else if (key == "alignment") {
            QCOMPARE(int(qobject_cast<QLabel*>(object)->alignment()), want.toInt());
        } else if (key == "rtl") {
            QCOMPARE(widget->layoutDirection(), want.toBool() ? Qt::RightToLeft : Qt::LeftToRight);
        } else if (key == "frameShape") {
            QCOMPARE(int(qobject_cast<QFrame*>(object)->frameShape()), want.toInt());
        } else if (key == "frameShadow") {
            QCOMPARE(int(qobject_cast<QFrame*>(object)->frameShadow()), want.toInt());
        } else if (key == "items") {
            auto* combo = qobject_cast<QComboBox*>(object);
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            QCOMPARE(items, want.toStringList());
        } else if (key == "spacing") {
            QCOMPARE(layout->spacing(), want.toInt());
        } else if (key == "margins") {
            const int m = want.toInt();
            QCOMPARE(layout->contentsMargins(), QMargins(m, m, m, m));
        } else {
            const QVariant got = object->property(qPrintable(key));
            QVERIFY2(got.isValid(), qPrintable(key));
            if (want.userType() == QMetaType::Double)
                QCOMPARE(got.toDouble(), want.toDouble());
            else
                QCOMPARE(got, want);
        }
    }

    if (!widget || !widget->parentWidget())
        return;
    if (!props.contains("rtl"))
        QCOMPARE(widget->layoutDirection(), Qt::LeftToRight);
    if (!props.contains("enabled"))
        QVERIFY(widget->isEnabled());
    if (!props.contains("pointSize"))
        QCOMPARE(widget->font().pointSize(), widget->parentWidget()->font().pointSize());
    if (!props.contains("family"))
        QCOMPARE(widget->font().family(), widget->parentWidget()->font().family());
}

void TestForm::layoutOrder_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("window") << "verticalLayout"
                            << QStringList { "label_29", "m_pLabel_dose", "tabWidget", "frame" };
    QTest::newRow("state line") << "horizontalLayout" << QStringList { "label", "m_pLabel_state" };
    QTest::newRow("set page") << "verticalLayout_2"
                              << QStringList { "frame_5", "frame_2", "frame_3", "frame_4", "frame_6",
                                               "frame_8", "frame_7", "frame_10", "verticalLayout_3" };
    QTest::newRow("slave address") << "verticalLayout_3" << QStringList { "label_35", "horizontalLayout_5" };
    QTest::newRow("slave address row")
        << "horizontalLayout_5"
        << QStringList { "label_36", "m_pSpinBox_address", "label_38", "m_pSpinBox_new_address",
                         "m_pPushButton_address" };
}

void TestForm::layoutOrder()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, items);

    Form form;
    auto* box = form.root.findChild<QBoxLayout*>(layout);
    QVERIFY(box);
    QStringList got;
    for (int i = 0; i < box->count(); ++i)
        got << NameOf(box->itemAt(i));
    QCOMPARE(got, items);
}

// Pages the form places with layouts of the team's own: what users see is
// checked, in the form's own coordinates, whatever those layouts are named;
// of a label, its text. row: left to right on one line; column: top to
// bottom in one column; below: top to bottom; left, right: one left or
// right edge; within: inside the first.
void TestForm::arrangement_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("relation");
    QTest::addColumn<QStringList>("widgets");

    QTest::newRow("calibration: grid over help") << 1 << "column" << QStringList { "frame_9", "textEdit" };
    QTest::newRow("calibration: on the page") << 1 << "within" << QStringList { "tab_3", "frame_9", "textEdit" };
    const QStringList connect { "label_4", "m_pLineEdit_ip", "label_5", "m_pLineEdit_port", "m_pPushButton_connect" };
    QTest::newRow("connect: one row") << 2 << "row" << connect;
    QTest::newRow("connect: on the page") << 2 << "within" << QStringList { "tab_2" } + connect;

    QTest::newRow("potentiometer: three columns")
        << 3 << "row" << QStringList { "n_SpinBox_potentiometer", "tableWidget_for_potentiometer", "id_for_potentiometer" };
    QTest::newRow("potentiometer: start") << 3 << "row" << QStringList { "label_43", "calibration_check_box" };
    QTest::newRow("potentiometer: left column")
        << 3 << "column"
        << QStringList { "label_43", "n_SpinBox_potentiometer", "m_potentiometer_up", "m_potentiometer_set",
                         "m_potentiometer_down", "label_52", "average_group", "label_53", "fixed_value_set", "label_54" };
    QTest::newRow("potentiometer: left inputs aligned")
        << 3 << "left"
        << QStringList { "n_SpinBox_potentiometer", "m_potentiometer_up", "m_potentiometer_set", "m_potentiometer_down",
                         "average_group", "fixed_value_set" };
    QTest::newRow("potentiometer: left captions aligned")
        << 3 << "right" << QStringList { "n_SpinBox_potentiometer", "label_52", "label_53", "label_54" };
    QTest::newRow("potentiometer: captions")
        << 3 << "row" << QStringList { "label_56", "label_57", "label_58", "label_59" };
    QTest::newRow("potentiometer: captions over the table")
        << 3 << "column" << QStringList { "label_56", "tableWidget_for_potentiometer" };
    QTest::newRow("potentiometer: figures under the table")
        << 3 << "below"
        << QStringList { "tableWidget_for_potentiometer", "label_background", "background_value",
                         "label_standard_deviation", "standard_deviation", "as_found_button" };
    QTest::newRow("potentiometer: inputs and the rule in a row")
        << 3 << "row" << QStringList { "background_value", "reference_uncertainty", "decision_rule" };
    QTest::newRow("potentiometer: spread, uncertainty and verdict in a row")
        << 3 << "row" << QStringList { "standard_deviation", "expanded_uncertainty", "calibration_verdict" };
    QTest::newRow("potentiometer: right column")
        << 3 << "below"
        << QStringList { "label_48", "id_for_potentiometer", "label_46", "label_50", "label_47", "label_49",
                         "relative_error", "label_60", "variable_conefficient", "label_61", "relative_error_2" };
    QTest::newRow("potentiometer: right column aligned")
        << 3 << "left"
        << QStringList { "label_48", "id_for_potentiometer", "relative_error", "variable_conefficient",
                         "relative_error_2" };
    QTest::newRow("potentiometer: right captions aligned")
        << 3 << "right" << QStringList { "id_for_potentiometer", "label_49", "label_60", "label_61" };
    QTest::newRow("potentiometer: upper limit") << 3 << "row" << QStringList { "label_46", "average_group_4" };
    QTest::newRow("potentiometer: mean")
        << 3 << "row" << QStringList { "label_50", "average_group_3", "m_potentiometer_id_3" };
    QTest::newRow("potentiometer: lower limit") << 3 << "row" << QStringList { "label_47", "average_group_5" };
    QTest::newRow("potentiometer: figures aligned")
        << 3 << "left" << QStringList { "average_group_4", "average_group_3", "average_group_5" };
    QTest::newRow("potentiometer: error %") << 3 << "row" << QStringList { "relative_error", "label_37" };
    QTest::newRow("potentiometer: variation %") << 3 << "row" << QStringList { "variable_conefficient", "label_39" };
    QTest::newRow("potentiometer: error 2 %") << 3 << "row" << QStringList { "relative_error_2", "label_45" };
    QTest::newRow("potentiometer: report row") << 3 << "row" << QStringList { "export_report", "filename" };
    QTest::newRow("potentiometer: serial row") << 3 << "row" << QStringList { "label_55", "Serial_number" };
    QTest::newRow("potentiometer: rows below the columns")
        << 3 << "below" << QStringList { "tableWidget_for_potentiometer", "export_report", "label_55" };
    QTest::newRow("potentiometer: on the page")
        << 3 << "within"
        << QStringList { "tab_for_potentiometer", "label_43", "label_59", "id_for_potentiometer", "relative_error_2",
                         "filename", "Serial_number" };
}

void TestForm::arrangement()
{
    QFETCH(int, page);
    QFETCH(QString, relation);
    QFETCH(QStringList, widgets);

    Form form;
    form.ui.tabWidget->setCurrentIndex(page);
    form.root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.root));
    QList<QRect> rects;
    for (const QString& name : widgets) {
        auto* widget = form.root.findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QRect shown = widget->rect();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            shown = QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                                        label->fontMetrics().size(0, label->text()), label->contentsRect());
        }
        rects << shown.translated(widget->mapTo(&form.root, QPoint()));
    }
    for (int i = 1; i < rects.size(); ++i) {
        const QRect a = rects[i - 1];
        const QRect b = rects[i];
        const bool oneLine = b.top() <= a.bottom() && a.top() <= b.bottom();
        const bool oneColumn = b.left() <= a.right() && a.left() <= b.right();
        bool holds = false;
        if (relation == "row")
            holds = b.left() > a.right() && oneLine;
        else if (relation == "column")
            holds = b.top() > a.bottom() && oneColumn;
        else if (relation == "below")
            holds = b.top() > a.bottom();
        else if (relation == "left")
            holds = b.left() == a.left();
        else if (relation == "right")
            holds = b.right() == a.right();
        else if (relation == "within")
            holds = rects[0].contains(b);
        QVERIFY2(holds, qPrintable(QString("%1 %2, %3").arg(relation, widgets[i - 1], widgets[i])));
    }
}

void TestForm::gridCells_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QRect>("cell"); // x = column, y = row, width = column span, height = row span
    QTest::addColumn<int>("alignment");

    struct Cell {
        const char* grid;
        const char* widget;
        int row, column, rowSpan, columnSpan;
        int alignment;
    };
    const Cell cells[] = {
        { "gridLayout_4", "label_13", 0, 0, 1, 1, 0 },
        { "gridLayout_4", "label_15", 1, 0, 1, 1, 0 },
        { "gridLayout_4", "m_pSpinBox_old_id", 1, 1, 1, 1, 0 },
        { "gridLayout_4", "label_14", 1, 2, 1, 1, 0 },
        { "gridLayout_4", "m_pSpinBox_new_id", 1, 3, 1, 1, 0 },
        { "gridLayout_4", "m_pPushButton_changed_id", 1, 4, 1, 1, 0 },

        { "gridLayout", "label_6", 1, 0, 1, 2, 0 },
        { "gridLayout", "label_7", 2, 0, 1, 1, 0 },
        { "gridLayout", "m_pSpinBox_thr_id", 2, 1, 1, 1, 0 },
        { "gridLayout", "label_8", 2, 2, 1, 1, 0 },
        { "gridLayout", "m_pSpinBox_thr", 2, 3, 1, 1, 0 },
        { "gridLayout", "m_pPushButton_thr", 2, 4, 1, 1, 0 },

        { "gridLayout_2", "label_9", 0, 0, 1, 4, 0 },
        { "gridLayout_2", "label_22", 1, 0, 1, 1, 0 },
        { "gridLayout_2", "m_pSpinBox_switch_id", 1, 1, 1, 1, 0 },
        { "gridLayout_2", "m_pCheckBox_on", 1, 2, 1, 1, 0 },
        { "gridLayout_2", "m_pLabel_on", 1, 3, 1, 1, 0 },
        { "gridLayout_2", "m_pPushButton_switch", 1, 4, 1, 1, 0 },

        { "gridLayout_3", "label_10", 0, 0, 1, 2, 0 },
        { "gridLayout_3", "label_12", 1, 0, 1, 1, 0 },
        { "gridLayout_3", "m_pSpinBox_p_id", 1, 1, 1, 1, 0 },
        { "gridLayout_3", "label_11", 1, 2, 1, 1, 0 },
        { "gridLayout_3", "m_pComboBox_type", 1, 3, 1, 1, 0 },
        { "gridLayout_3", "m_pPushButton_parameter", 1, 4, 1, 1, 0 },

        { "gridLayout_5", "label_16", 0, 0, 1, 2, 0 },
        { "gridLayout_5", "label_23", 1, 0, 1, 1, 0 },
        { "gridLayout_5", "m_pSpinBox_lan_id", 1, 1, 1, 1, 0 },
        { "gridLayout_5", "m_pCheckBox_lan", 1, 2, 1, 1, 0 },
        { "gridLayout_5", "m_pLabel_lan", 1, 3, 1, 1, 0 },
        { "gridLayout_5", "m_pPushButton_changed_lan", 1, 4, 1, 1, 0 },

        { "gridLayout_9", "label_31", 0, 0, 1, 2, 0 },
        { "gridLayout_9", "label_30", 1, 0, 1, 1, 0 },
        { "gridLayout_9", "m_pSpinBox_u_id", 1, 1, 1, 1, 0 },
        { "gridLayout_9", "label_32", 1, 2, 1, 1, 0 },
        { "gridLayout_9", "m_pComboBox_unit", 1, 3, 1, 1, 0 },
        { "gridLayout_9", "m_pPushButton_uint", 1, 4, 1, 1, 0 },

        { "gridLayout_6", "label_17", 0, 0, 1, 2, 0 },
        { "gridLayout_6", "m_pSpinBox_precision_id", 4, 1, 1, 1, 0 },
        { "gridLayout_6", "label_18", 4, 0, 1, 1, 0 },
        { "gridLayout_6", "label_19", 4, 2, 1, 1, 0 },
        { "gridLayout_6", "m_pComboBox_precision", 4, 3, 1, 1, 0 },
        { "gridLayout_6", "m_pPushButton_precision", 4, 4, 1, 1, 0 },

        { "gridLayout_8", "label_34", 0, 0, 1, 2, 0 },
        { "gridLayout_8", "label_33", 1, 0, 1, 1, 0 },
        { "gridLayout_8", "m_pSpinBox_alarm_id", 1, 1, 1, 1, 0 },
        { "gridLayout_8", "m_pCheckBox_alarm", 1, 2, 1, 1, 0 },
        { "gridLayout_8", "m_pLabel_alarm_test", 1, 3, 1, 1, 0 },
        { "gridLayout_8", "m_pPushButton_changed_alarm", 1, 4, 1, 1, 0 },

        { "gridLayout_7", "label_24", 0, 0, 1, 3, 0 },
        { "gridLayout_7", "label_2", 1, 3, 1, 1, 0 },
        { "gridLayout_7", "label_3", 1, 5, 1, 1, 0 },
        { "gridLayout_7", "label_20", 1, 7, 1, 1, 0 },
        { "gridLayout_7", "label_25", 2, 0, 1, 1, 0 },
        { "gridLayout_7", "m_pSpinBox_calib_id", 2, 1, 1, 1, 0 },
        { "gridLayout_7", "label_26", 2, 2, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_calib_1", 2, 3, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_calib_2", 2, 5, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_calib_3", 2, 7, 1, 1, 0 },
        { "gridLayout_7", "m_pSetCalibrationBtn", 2, 8, 1, 1, 0 },
        { "gridLayout_7", "m_pResetBtn", 3, 0, 3, 1, 0 },
        { "gridLayout_7", "label_27", 3, 2, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_tvalue_1", 3, 3, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_tvalue_2", 3, 5, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_tvalue_3", 3, 7, 1, 1, 0 },
        { "gridLayout_7", "m_pCalcCoefficientBtn", 3, 8, 2, 1, 0 },
        { "gridLayout_7", "label_21", 4, 2, 1, 1, int(Qt::AlignRight) },
        { "gridLayout_7", "doubleSpinBox_mvalue_1", 4, 3, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_mvalue_2", 4, 5, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_mvalue_3", 4, 7, 1, 1, 0 },
        { "gridLayout_7", "label_28", 5, 2, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_lastCoe_1", 5, 3, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_lastCoe_2", 5, 5, 1, 1, 0 },
        { "gridLayout_7", "doubleSpinBox_lastCoe_3", 5, 7, 1, 1, 0 },
        { "gridLayout_7", "m_pGetCalibrationBtn", 5, 8, 1, 1, 0 },
    };
    for (const Cell& c : cells) {
        QTest::addRow("%s %s", c.grid, c.widget)
            << QString(c.grid) << QString(c.widget) << QRect(c.column, c.row, c.columnSpan, c.rowSpan)
            << c.alignment;
    }
}

void TestForm::gridCells()
{
    QFETCH(QString, grid);
    QFETCH(QString, widget);
    QFETCH(QRect, cell);
    QFETCH(int, alignment);

    Form form;
    auto* layout = form.root.findChild<QGridLayout*>(grid);
    auto* w = form.root.findChild<QWidget*>(widget);
    QVERIFY(layout && w);
    const int index = layout->indexOf(w);
    QVERIFY2(index >= 0, "widget is not in this grid");
    int row = -1, column = -1, rowSpan = -1, columnSpan = -1;
    layout->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QRect(column, row, columnSpan, rowSpan), cell);
    QCOMPARE(int(layout->itemAt(index)->alignment()), alignment);
}

void TestForm::gridsHoldNothingElse()
{
    // Each grid with the number of widgets it places.
    const QList<QPair<QString, int>> grids {
        { "gridLayout_4", 6 }, { "gridLayout", 6 }, { "gridLayout_2", 6 }, { "gridLayout_3", 6 },
        { "gridLayout_5", 6 }, { "gridLayout_9", 6 }, { "gridLayout_6", 6 }, { "gridLayout_8", 6 },
        { "gridLayout_7", 26 },
    };
    Form form;
    for (const auto& g : grids) {
        auto* layout = form.root.findChild<QGridLayout*>(g.first);
        QVERIFY2(layout, qPrintable(g.first));
        QCOMPARE(layout->count(), g.second);
    }
    // The precision group leaves rows 1 to 3 empty; the calibration grid
    // leaves columns 4 and 6 empty.
    auto* precision = form.root.findChild<QGridLayout*>("gridLayout_6");
    for (int column = 0; column < precision->columnCount(); ++column) {
        QVERIFY(!precision->itemAtPosition(1, column));
        QVERIFY(!precision->itemAtPosition(2, column));
        QVERIFY(!precision->itemAtPosition(3, column));
    }
    auto* calibration = form.root.findChild<QGridLayout*>("gridLayout_7");
    for (int row = 0; row < calibration->rowCount(); ++row) {
        QVERIFY(!calibration->itemAtPosition(row, 4));
        QVERIFY(!calibration->itemAtPosition(row, 6));
    }
}

void TestForm::pagesInOrder()
{
    Form form;
    QTabWidget* tabs = form.ui.tabWidget;
    // The form's four, then the console's own.
    const QStringList pages { "tab", "tab_3", "tab_2", "tab_for_potentiometer", "records", "nodes" };
    const QStringList titles { "set", "Calibration", "connect", "potentiometer", "records", "nodes" };
    QCOMPARE(tabs->count(), pages.size());
    for (int i = 0; i < pages.size(); ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), pages[i]);
        QCOMPARE(tabs->tabText(i), titles[i]);
    }
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->currentWidget(), form.ui.tab);
}

void TestForm::readingsTable()
{
    Form form;
    QTableWidget* table = form.ui.tableWidget_for_potentiometer;

    QCOMPARE(table->columnCount(), 4);
    QCOMPARE(table->rowCount(), 0);
    const QStringList headers { QStringLiteral("线数"), QStringLiteral("数值"), QStringLiteral("序号") };
    for (int column = 0; column < headers.size(); ++column) {
        QVERIFY(table->horizontalHeaderItem(column));
        QCOMPARE(table->horizontalHeaderItem(column)->text(), headers[column]);
    }
    QVERIFY(!table->horizontalHeaderItem(3));

    QVERIFY(table->horizontalHeader()->isHidden());
    QVERIFY(table->verticalHeader()->isHidden());
    QCOMPARE(table->horizontalHeader()->defaultSectionSize(), 93);
    QCOMPARE(table->horizontalHeader()->minimumSectionSize(), 50);
    QVERIFY(!table->horizontalHeader()->stretchLastSection());
    QVERIFY(!table->horizontalHeader()->cascadingSectionResizes());
    QCOMPARE(table->verticalHeader()->defaultSectionSize(), 34);
    QCOMPARE(table->verticalHeader()->minimumSectionSize(), 25);
    for (int column = 0; column < 4; ++column)
        QCOMPARE(table->columnWidth(column), 93);

    QCOMPARE(table->focusPolicy(), Qt::NoFocus);
    QCOMPARE(table->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(table->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QCOMPARE(table->sizeAdjustPolicy(), QAbstractScrollArea::AdjustToContents);
    QVERIFY(table->whatsThis().isEmpty());

    // Right-to-left: column 0 is drawn at the right-hand side.
    form.root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.root));
    form.ui.tabWidget->setCurrentWidget(form.ui.tab_for_potentiometer);
    QVERIFY(table->columnViewportPosition(0) > table->columnViewportPosition(1));
    QVERIFY(table->columnViewportPosition(1) > table->columnViewportPosition(2));
    QVERIFY(table->columnViewportPosition(2) > table->columnViewportPosition(3));
}

void TestForm::helpText()
{
    Form form;
    QTextEdit* edit = form.ui.textEdit;
    QVERIFY(!edit->isEnabled());

    const QStringList paragraphs {
        "NOTE:When you use the software to calibrate dosegate-s,you should be sure that your devices SUPPORT this software.",
        "",
        "the calibration coefficient value = (True value/Measured Value)",
        "you could calculate it with the 'calc tools' on this page or do it yourself. ",
        "",
        "step1:Fill your DoseGate's ID number in the 'ID box'.",
        "step2:Click the \"Get\" Button to get the current calibration coefficient.",
        "step3:Click the \"Calc\" Button to calculate the new calibration coefficient.",
        "step4:Click the \"Set\" Button to calibrate your DoseGate.You would get a 'Calibration succeeds' box if it's done.",
    };
    const QTextDocument* doc = edit->document();
    QCOMPARE(doc->blockCount(), paragraphs.size());
    int index = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next(), ++index) {
        QCOMPARE(block.text(), paragraphs[index]);
        const QTextBlockFormat format = block.blockFormat();
        QCOMPARE(format.topMargin(), 0.0);
        QCOMPARE(format.bottomMargin(), 0.0);
        QCOMPARE(format.leftMargin(), 0.0);
        QCOMPARE(format.rightMargin(), 0.0);
        const QTextCharFormat chars = block.text().isEmpty() ? block.charFormat()
                                                             : block.begin().fragment().charFormat();
        QCOMPARE(chars.font().family(), QStringLiteral("SimSun"));
        QCOMPARE(chars.fontPointSize(), 9.0);
    }
}

void TestForm::windowTitleSizeAndIcon()
{
    Form form;
    QCOMPARE(form.root.windowTitle(), QStringLiteral("ZORVEK"));
    QCOMPARE(form.root.size(), QSize(669, 727));

    // The window sets its icon itself, from the sizes drawn for it: a large
    // picture would go to the window manager whole at every start.
    const QIcon icon = WindowIcon::Make();
    const QList<QSize> sizes { { 16, 16 }, { 32, 32 }, { 48, 48 }, { 64, 64 }, { 128, 128 } };
    QCOMPARE(icon.availableSizes(), sizes);
    for (const QSize& size : sizes) {
        const QImage image = icon.pixmap(size).toImage();
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
        int clear = 0, opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                clear += alpha == 0;
                opaque += alpha == 255;
            }
        }
        QVERIFY2(clear > 0 && opaque > 0, qPrintable(QString("%1 px: %2 clear, %3 opaque").arg(size.width()).arg(clear).arg(opaque)));
    }
}

void TestForm::iconResourceIsStoredRaw()
{
    const QStringList files = QDir(QStringLiteral(":/SetwiseDosegate")).entryList();
    QCOMPARE(files, (QStringList { "icon-128.png", "icon-16.png", "icon-32.png", "icon-48.png", "icon-64.png", "icon.png" }));
    for (const QString& file : files) {
        const QResource resource(QStringLiteral(":/SetwiseDosegate/") + file);
        QVERIFY(resource.isValid());
        QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
        // Raw storage means the bytes in the binary are the PNG file itself.
        const QByteArray stored = QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                                          int(resource.size()));
        QVERIFY2(stored.startsWith("\x89PNG\r\n\x1a\n"), qPrintable(file));
    }
    QCOMPARE(QImage(QStringLiteral(":/SetwiseDosegate/icon.png")).size(), QSize(518, 408));
}

void TestForm::idBoxesRefuseOutOfRangeTyping_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");

    for (const char* name : { "m_pSpinBox_old_id", "m_pSpinBox_new_id", "m_pSpinBox_thr_id",
                              "m_pSpinBox_switch_id", "m_pSpinBox_p_id", "m_pSpinBox_lan_id",
                              "m_pSpinBox_u_id", "m_pSpinBox_precision_id", "m_pSpinBox_alarm_id",
                              "m_pSpinBox_calib_id", "id_for_potentiometer" })
        QTest::newRow(name) << QString(name) << 1 << 255;
    QTest::newRow("m_pSpinBox_address") << "m_pSpinBox_address" << 0 << 99;
    QTest::newRow("m_pSpinBox_new_address") << "m_pSpinBox_new_address" << 0 << 99;
    QTest::newRow("n_SpinBox_potentiometer") << "n_SpinBox_potentiometer" << 0 << 64;
}

void TestForm::idBoxesRefuseOutOfRangeTyping()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);

    Form form;
    auto* box = form.root.findChild<QSpinBox*>(name);
    QVERIFY(box);
    auto type = [box](const QString& text) {
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
        return box->value();
    };

    QCOMPARE(type(QString::number(maximum)), maximum);
    const int over = type(QString::number(maximum + 1));
    QVERIFY2(over >= minimum && over <= maximum, qPrintable(QString::number(over)));

    QCOMPARE(type(QString::number(minimum)), minimum);
    const int under = type(QString::number(minimum - 1));
    QVERIFY2(under >= minimum && under <= maximum, qPrintable(QString::number(under)));
}

void TestForm::numericFieldsClampAndRound()
{
    Form form;
    for (QDoubleSpinBox* field : { form.ui.doubleSpinBox_calib_1, form.ui.doubleSpinBox_lastCoe_3,
                                   form.ui.doubleSpinBox_tvalue_2, form.ui.doubleSpinBox_mvalue_1 }) {
        field->setValue(0.0);
        QCOMPARE(field->value(), 0.0001);
        field->selectAll();
        QTest::keyClicks(field, "0.00001");
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY2(field->value() >= 0.0001, qPrintable(field->objectName()));
    }
    form.ui.doubleSpinBox_lastCoe_1->setValue(7.5);
    QCOMPARE(form.ui.doubleSpinBox_lastCoe_1->value(), 5.0);
    form.ui.doubleSpinBox_lastCoe_2->setValue(1.23456);
    QCOMPARE(form.ui.doubleSpinBox_lastCoe_2->value(), 1.2346);

    QDoubleSpinBox* threshold = form.ui.m_pSpinBox_thr;
    threshold->setValue(-1.0);
    QCOMPARE(threshold->value(), 0.0);
    threshold->setValue(10000.0);
    QCOMPARE(threshold->value(), 9999.99);
    threshold->setValue(12.346);
    QCOMPARE(threshold->value(), 12.35);
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
