#include "XlSpreadsheet.h"

#include "AtomicSave.h"
#include "SheetWriter.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kMaxPoints = 409; // the spreadsheet's largest row height and font size
constexpr int kMaxText = 32767;    // characters a cell holds
constexpr int kAlignCentre = -4108;
constexpr qint64 kMaxAreaCells = 1 << 22; // larger areas are refused rather than changed cell by cell

bool ToNumber(const QVariant& value, double* pValue)
{
    const int nType = value.userType();
    if (nType == QMetaType::Int) { // the common case, taken without a conversion
        *pValue = value.toInt();
        return true;
    }
    const bool bNumeric = nType == QMetaType::UInt || nType == QMetaType::LongLong
        || nType == QMetaType::ULongLong || nType == QMetaType::Double || nType == QMetaType::Float
        || nType == QMetaType::QString;
    bool bOk = false;
    *pValue = bNumeric ? value.toDouble(&bOk) : 0;
    return bOk && std::isfinite(*pValue);
}

bool ToWhole(const QVariant& value, double fMin, double fMax, double* pValue)
{
    return ToNumber(value, pValue) && *pValue == std::floor(*pValue) && *pValue >= fMin && *pValue <= fMax;
}

// Text is taken as the automation bridge takes it: "true" or "false".
bool ToFlag(const QVariant& value, bool* pFlag)
{
    const bool bBool = value.userType() == QMetaType::Bool;
    const QString text = value.toString().trimmed().toLower();
    *pFlag = bBool ? value.toBool() : text == QLatin1String("true");
    return bBool || (value.userType() == QMetaType::QString && (*pFlag || text == QLatin1String("false")));
}

} // namespace

template <typename Change>
bool XlSpreadsheet::Act::Cells(Change change)
{
    if (handle.area.CellCount() > kMaxAreaCells)
        return Fail(pError, QStringLiteral("the cells %1 are too many to change").arg(handle.area.ToString()));
    spreadsheet.m_sheet.ChangeCells(handle.area, change);
    return true;
}

using Cell = SheetModel::Cell;

// Every name the spreadsheet answers, with the argument forms of its
// automation interface; nothing else is accepted.
const XlSpreadsheet::Entry XlSpreadsheet::kTable[] = {
    {Object::Application, Type::Call, "SetVisible (bool Visible)", Shape::Flag, "show or hide itself", Object::None,
     nullptr},
    {Object::Application, Type::Set, "DisplayAlerts", Shape::Flag, "switch its alerts", Object::None, nullptr},
    {Object::Application, Type::SubObject, "WorkBooks", Shape::None, "hand over its workbooks", Object::Workbooks,
     nullptr},
    {Object::Workbooks, Type::Call, "Add", Shape::None, "add a workbook", Object::None, [](Act& act) {
         if (act.spreadsheet.m_stage != Stage::Started)
             return Fail(act.pError, QStringLiteral("the spreadsheet holds a single workbook"));
         act.spreadsheet.m_stage = Stage::Open;
         return true;
     }},
    {Object::Application, Type::SubObject, "ActiveWorkBook", Shape::None, "hand over its workbook", Object::Workbook,
     [](Act& act) {
         return act.spreadsheet.m_stage == Stage::Open || Fail(act.pError, QStringLiteral("no workbook is open"));
     }},
    {Object::Workbook, Type::SubObject, "Worksheets(int)", Shape::FirstSheet, "hand over its worksheet",
     Object::Worksheet, nullptr},
    {Object::Worksheet, Type::SubObject, "Cells(int,int)", Shape::Position, "hand over a cell", Object::Cell,
     [](Act& act) { act.handle.area = act.area; return true; }},
    {Object::Worksheet, Type::SubObject, "Range(const QString&)", Shape::Address, "hand over a range", Object::Range,
     [](Act& act) { act.handle.area = act.area; return true; }},
    {Object::Range, Type::Call, "SetValue(const QString&)", Shape::Text, "write a cell", Object::None,
     [](Act& act) { return act.Cells([&act](Cell& cell) { cell.text = act.text; }); }},
    {Object::Range, Type::SubObject, "Font", Shape::None, "hand over a font", Object::Font, nullptr},
    {Object::Font, Type::Set, "Size", Shape::FontSize, "set a font size", Object::None,
     [](Act& act) { return act.Cells([&act](Cell& cell) { cell.nFontSize = quint16(act.fNumber); }); }},
    {Object::Range, Type::Set, "RowHeight", Shape::Height, "set a row height", Object::None,
     [](Act& act) { act.spreadsheet.m_sheet.SetRowHeight(act.handle.area, act.fNumber); return true; }},
    {Object::Range, Type::Set, "WrapText", Shape::Yes, "wrap texts", Object::None,
     [](Act& act) { return act.Cells([](Cell& cell) { cell.bWrap = true; }); }},
    {Object::Range, Type::Set, "MergeCells", Shape::Yes, "merge cells", Object::None,
     [](Act& act) { return act.spreadsheet.m_sheet.Merge(act.handle.area, act.pError); }},
    {Object::Range, Type::Set, "HorizontalAlignment", Shape::Centre, "centre texts", Object::None,
     [](Act& act) { return act.Cells([](Cell& cell) { cell.bCentred = true; }); }},
    {Object::Range, Type::Set, "VerticalAlignment", Shape::Centre, "centre texts", Object::None,
     [](Act& act) { return act.Cells([](Cell& cell) { cell.bMiddle = true; }); }},
    {Object::Range, Type::SubObject, "Borders", Shape::None, "hand over the borders", Object::Borders, nullptr},
    {Object::Borders, Type::Set, "LineStyle", Shape::Line, "draw borders", Object::None,
     [](Act& act) { return act.Cells([](Cell& cell) { cell.bBorder = true; }); }},
    {Object::Borders, Type::Set, "Color", Shape::Colour, "colour borders", Object::None, [](Act& act) {
         return act.Cells([&act](Cell& cell) { cell.bBorderColour = true; cell.nBorderColour = act.nColour; });
     }},
    {Object::Workbook, Type::Call, "SaveAs(const QString&)", Shape::Text, "save the workbook", Object::None,
     [](Act& act) {
         const SheetModel& sheet = act.spreadsheet.m_sheet;
         const auto write = [&sheet](const QString& file, QString* pReason) {
             return SheetWriter::Write(sheet, file, pReason);
         };
         return AtomicSave::Save(act.text, write, act.pError);
     }},
    {Object::Workbook, Type::Call, "Close()", Shape::None, "close the workbook", Object::None,
     [](Act& act) { act.spreadsheet.m_stage = Stage::Closed; return true; }},
    {Object::Application, Type::Call, "Quit()", Shape::None, "quit", Object::None,
     [](Act& act) { act.spreadsheet.m_stage = Stage::Quit; return true; }},
};

bool XlSpreadsheet::Apply(const Handle& handle, Type type, const char* name, const Arguments& args, bool bRefused,
                          Handle* pSub, QString* pError)
{
    const Object kind = handle.kind == Object::Cell ? Object::Range : handle.kind;
    const Entry* pEntry = std::find_if(std::begin(kTable), std::end(kTable), [&](const Entry& entry) {
        return entry.object == kind && entry.type == type && std::strcmp(entry.name, name) == 0;
    });
    if (pEntry == std::end(kTable))
        return Fail(pError, QStringLiteral("the spreadsheet knows no \"%1\" there").arg(QLatin1String(name)));
    Act act{*this, {pEntry->result, handle.area}, pError};
    const char* pTakes = bRefused ? nullptr : Accept(pEntry->shape, args, &act);
    if (bRefused || pTakes)
        return Fail(pError, QStringLiteral("the spreadsheet refused to %1%2%3")
                                .arg(QLatin1String(pEntry->what), QLatin1String(pTakes ? ": it takes " : ""),
                                     QLatin1String(pTakes)));
    if (!Usable(kind, pError) || (pEntry->effect && !pEntry->effect(act)))
        return false;
    if (pSub)
        *pSub = act.handle;
    return true;
}

const char* XlSpreadsheet::Accept(Shape shape, const Arguments& args, Act* pAct)
{
    if (args.size() != (shape == Shape::None ? 0 : shape == Shape::Position ? 2 : 1))
        return shape == Shape::None ? "no arguments" : shape == Shape::Position ? "two arguments" : "one argument";
    static const QVariant kNone;
    const QVariant& arg = args.isEmpty() ? kNone : *args.at(0);
    const bool bText = arg.userType() == QMetaType::QString;
    double fColumn = 0;
    bool bFlag = false;
    switch (shape) {
    case Shape::None:
        return nullptr;
    case Shape::Flag:
        return ToFlag(arg, &bFlag) ? nullptr : "true or false";
    case Shape::Yes:
        return ToFlag(arg, &bFlag) && bFlag ? nullptr : "true";
    case Shape::FirstSheet:
        return ToWhole(arg, 1, 1, &pAct->fNumber) ? nullptr : "the number 1: a new workbook has one worksheet";
    case Shape::Position:
        if (!ToWhole(arg, 1, SheetModel::kMaxRow, &pAct->fNumber)
            || !ToWhole(*args.at(1), 1, SheetModel::kMaxColumn, &fColumn))
            return "a row from 1 to 1048576 and a column from 1 to 26";
        pAct->area = {int(pAct->fNumber), int(fColumn), int(pAct->fNumber), int(fColumn)};
        return nullptr;
    case Shape::Text:
        pAct->text = arg.toString();
        return bText && pAct->text.size() <= kMaxText ? nullptr : "a text of at most 32767 characters";
    case Shape::Address:
        return bText && SheetModel::Parse(arg.toString(), &pAct->area) ? nullptr : "an address such as A2:C5 or 2:5";
    case Shape::Height:
        return ToNumber(arg, &pAct->fNumber) && pAct->fNumber >= 0 && pAct->fNumber <= kMaxPoints
            ? nullptr
            : "a height from 0 to 409 points";
    case Shape::FontSize:
        return ToWhole(arg, 1, kMaxPoints, &pAct->fNumber) ? nullptr : "a whole number of points from 1 to 409";
    case Shape::Centre:
        return ToWhole(arg, kAlignCentre, kAlignCentre, &pAct->fNumber) ? nullptr : "the centre alignment -4108";
    case Shape::Line:
        return ToWhole(arg, 1, 1, &pAct->fNumber) ? nullptr : "the continuous line style 1";
    case Shape::Colour:
        pAct->nColour = arg.value<QColor>().rgba();
        return arg.userType() == QMetaType::QColor && arg.value<QColor>().isValid() ? nullptr : "a colour";
    }
    return "nothing";
}

bool XlSpreadsheet::Fail(QString* pError, const QString& reason)
{
    *pError = reason;
    return false;
}

bool XlSpreadsheet::Usable(Object kind, QString* pError) const
{
    if (m_stage == Stage::Quit)
        return Fail(pError, QStringLiteral("the spreadsheet has quit"));
    if (m_stage == Stage::Closed && kind != Object::Application && kind != Object::Workbooks)
        return Fail(pError, QStringLiteral("the workbook is closed"));
    return true;
}
