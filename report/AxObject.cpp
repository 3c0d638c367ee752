#include "AxObject.h"

#include "AtomicSave.h"
#include "AxRecorder.h"
#include "SheetWriter.h"

#include <QColor>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

using Object = AxOperation::Object;
using Type = AxOperation::Type;
using Cell = SheetModel::Cell;

// What the top-level object holds for itself and all its sub-objects.
struct AxObject::Binding
{
    AxRecorder* pRecorder;
    std::unique_ptr<SheetModel> pSheet{}; // null while unbound
    std::deque<AxObject> listObjects{};   // where they lie together, never moved
    QString lastError{};
};

namespace {

constexpr int kMaxText = 32767; // characters a cell holds

// The argument forms of the automation interface.
enum class Takes { Nothing, Flag, Yes, Whole, Position, Text, Address, Colour };

struct Shape
{
    Takes takes = Takes::Nothing;
    int nMin = 0; // of a Whole
    int nMax = 0;
};

// One operation under way: the cells of the object (of a new cell or range
// once its address is read), the arguments as the shape took them, and
// where a reason goes.
struct Act
{
    SheetModel* pSheet;
    SheetModel::Area area;
    QString* pError;
    double fNumber = 0;
    QString text{};
    QRgb nColour = 0;

    template <typename Change>
    bool Cells(Change change)
    {
        pSheet->ChangeCells(area, change);
        return true;
    }
    bool Flag(quint8 nFlag) { return Cells([nFlag](Cell& cell) { cell.nFlags |= nFlag; }); }
};

struct Entry
{
    Object object; // a cell answers the names of a range
    Type type;
    const char* name;
    Shape shape;
    const char* what;                   // what it does, in the operator's words
    Object result;                      // the kind of a sub-object
    bool (*effect)(Act& act) = nullptr; // null: nothing to do beyond the checks
};

// Every name the spreadsheet answers, with the argument forms of its
// automation interface; nothing else is accepted.
const Entry kTable[] = {
    {Object::Application, Type::Call, "SetVisible (bool Visible)", {Takes::Flag}, "show or hide itself", Object::None},
    {Object::Application, Type::Set, "DisplayAlerts", {Takes::Flag}, "switch its alerts", Object::None},
    {Object::Application, Type::SubObject, "WorkBooks", {}, "hand over its workbooks", Object::Workbooks},
    {Object::Workbooks, Type::Call, "Add", {}, "add a workbook", Object::None},
    {Object::Application, Type::SubObject, "ActiveWorkBook", {}, "hand over its workbook", Object::Workbook},
    // A new workbook has one worksheet.
    {Object::Workbook, Type::SubObject, "Worksheets(int)", {Takes::Whole, 1, 1}, "hand over its worksheet",
     Object::Worksheet},
    {Object::Worksheet, Type::SubObject, "Cells(int,int)", {Takes::Position}, "hand over a cell", Object::Cell},
    {Object::Worksheet, Type::SubObject, "Range(const QString&)", {Takes::Address}, "hand over a range", Object::Range},
    {Object::Range, Type::Call, "SetValue(const QString&)", {Takes::Text}, "write a cell", Object::None,
     [](Act& act) { return act.Cells([&act](Cell& cell) { cell.text = act.text; }); }},
    {Object::Range, Type::SubObject, "Font", {}, "hand over a font", Object::Font},
    {Object::Font, Type::Set, "Size", {Takes::Whole, 1, 409}, "set a font size", Object::None,
     [](Act& act) { return act.Cells([&act](Cell& cell) { cell.nFontSize = quint16(act.fNumber); }); }},
    {Object::Range, Type::Set, "RowHeight", {Takes::Whole, 0, 409}, "set a row height", Object::None,
     [](Act& act) { act.pSheet->SetRowHeight(act.area, act.fNumber); return true; }},
    {Object::Range, Type::Set, "WrapText", {Takes::Yes}, "wrap texts", Object::None,
     [](Act& act) { return act.Flag(Cell::Wrap); }},
    {Object::Range, Type::Set, "MergeCells", {Takes::Yes}, "merge cells", Object::None,
     [](Act& act) { return act.pSheet->Merge(act.area, act.pError); }},
    // -4108 is the spreadsheet's centre alignment.
    {Object::Range, Type::Set, "HorizontalAlignment", {Takes::Whole, -4108, -4108}, "centre texts", Object::None,
     [](Act& act) { return act.Flag(Cell::Centred); }},
    {Object::Range, Type::Set, "VerticalAlignment", {Takes::Whole, -4108, -4108}, "centre texts", Object::None,
     [](Act& act) { return act.Flag(Cell::Middle); }},
    {Object::Range, Type::SubObject, "Borders", {}, "hand over the borders", Object::Borders},
    // 1 is the continuous line.
    {Object::Borders, Type::Set, "LineStyle", {Takes::Whole, 1, 1}, "draw borders", Object::None,
     [](Act& act) { return act.Flag(Cell::Border); }},
    {Object::Borders, Type::Set, "Color", {Takes::Colour}, "colour borders", Object::None,
     [](Act& act) { return act.Cells([&act](Cell& cell) { cell.nBorderColour = act.nColour; }); }},
    {Object::Workbook, Type::Call, "SaveAs(const QString&)", {Takes::Text}, "save the workbook", Object::None,
     [](Act& act) {
         const auto write = [&act](const QString& file, QString* pReason) {
             return SheetWriter::Write(*act.pSheet, file, pReason);
         };
         return AtomicSave::Save(act.text, write, act.pError);
     }},
    {Object::Workbook, Type::Call, "Close()", {}, "close the workbook", Object::None},
    {Object::Application, Type::Call, "Quit()", {}, "quit", Object::None},
};

// Text is read as a number, as the automation bridge reads it; a truth value is none.
bool ToWhole(const QVariant& value, int nMin, int nMax, double* pValue)
{
    bool bOk = value.userType() != QMetaType::Bool;
    *pValue = value.userType() == QMetaType::Int ? value.toInt() : value.toDouble(bOk ? &bOk : nullptr);
    return bOk && *pValue >= nMin && *pValue <= nMax && *pValue == int(*pValue);
}

// Text is taken as the automation bridge takes it: "true" or "false".
bool ToFlag(const QVariant& value, bool* pFlag)
{
    const bool bBool = value.userType() == QMetaType::Bool;
    const QString text = value.toString().trimmed().toLower();
    *pFlag = bBool ? value.toBool() : text == QLatin1String("true");
    return bBool || (value.userType() == QMetaType::QString && (*pFlag || text == QLatin1String("false")));
}

// Null when the arguments fit the shape, else what the shape takes.
QString Accept(const Shape& shape, const QVariant& arg, const QVariant& arg2, int nArgs, Act* pAct)
{
    const int nWanted = shape.takes == Takes::Nothing ? 0 : shape.takes == Takes::Position ? 2 : 1;
    if (nArgs != nWanted)
        return QLatin1String(nWanted == 0 ? "no arguments" : nWanted == 1 ? "one argument" : "two arguments");
    const bool bText = arg.userType() == QMetaType::QString;
    bool bFlag = false;
    double fRow = 0;
    double fColumn = 0;
    switch (shape.takes) {
    case Takes::Nothing:
        return {};
    case Takes::Flag:
        return ToFlag(arg, &bFlag) ? QString() : QStringLiteral("true or false");
    case Takes::Yes:
        return ToFlag(arg, &bFlag) && bFlag ? QString() : QStringLiteral("true");
    case Takes::Whole:
        if (ToWhole(arg, shape.nMin, shape.nMax, &pAct->fNumber))
            return {};
        if (shape.nMin == shape.nMax)
            return QStringLiteral("the number %1").arg(shape.nMin);
        return QStringLiteral("a whole number from %1 to %2").arg(shape.nMin).arg(shape.nMax);
    case Takes::Position:
        if (ToWhole(arg, 1, SheetModel::kMaxRow, &fRow) && ToWhole(arg2, 1, SheetModel::kMaxColumn, &fColumn)) {
            pAct->area = {int(fRow), int(fColumn), int(fRow), int(fColumn)};
            return {};
        }
        return QStringLiteral("a row from 1 to %1 and a column from 1 to %2")
            .arg(SheetModel::kMaxRow)
            .arg(SheetModel::kMaxColumn);
    case Takes::Text:
        pAct->text = arg.toString();
        return bText && pAct->text.size() <= kMaxText ? QString()
                                                      : QStringLiteral("a text of at most %1 characters").arg(kMaxText);
    case Takes::Address:
        if (bText && SheetModel::Parse(arg.toString(), &pAct->area))
            return {};
        return QStringLiteral("an address such as A2:C5 or 2:5");
    case Takes::Colour:
        pAct->nColour = arg.value<QColor>().rgba();
        return arg.userType() == QMetaType::QColor && arg.value<QColor>().isValid() ? QString()
                                                                                    : QStringLiteral("a colour");
    }
    return {};
}

// A cell answers the names of a range; null for a name the object does not know.
const Entry* Find(Object kind, Type type, const char* name)
{
    kind = kind == Object::Cell ? Object::Range : kind;
    const Entry* pEntry = std::find_if(std::begin(kTable), std::end(kTable), [&](const Entry& entry) {
        return entry.object == kind && entry.type == type && std::strcmp(entry.name, name) == 0;
    });
    return pEntry == std::end(kTable) ? nullptr : pEntry;
}

// Why an operation is turned down, in the operator's words; null when it is not.
QString Refusal(const Entry* pEntry, const char* name, bool bRefused, const QString& takes)
{
    if (!pEntry)
        return QStringLiteral("the spreadsheet knows no \"%1\" there").arg(QLatin1String(name));
    if (!bRefused && takes.isNull())
        return {};
    const QString refusal = QStringLiteral("the spreadsheet refused to ") + QLatin1String(pEntry->what);
    return takes.isNull() ? refusal : refusal + QStringLiteral(": it takes ") + takes;
}

} // namespace

AxObject::AxObject(AxRecorder* pRecorder)
    : m_pBinding(new Binding{pRecorder})
    , m_bTop(true)
{
}

AxObject::AxObject(Key, Binding* pBinding, Object kind, const SheetModel::Area& area)
    : m_pBinding(pBinding)
    , m_area(area)
    , m_kind(kind)
    , m_bTop(false)
{
}

AxObject::~AxObject()
{
    if (!m_bTop)
        return;
    if (m_pBinding->pRecorder)
        m_pBinding->pRecorder->Record({m_kind, Type::Release, "", {}, true});
    delete m_pBinding;
}

bool AxObject::setControl(const QString& control)
{
    Binding& binding = *m_pBinding;
    const bool bRefused = binding.pRecorder && binding.pRecorder->RefusesNext();
    const bool bBound = m_bTop && !binding.pSheet && !bRefused && control == QLatin1String("Excel.Application");
    if (bBound) {
        binding.pSheet = std::make_unique<SheetModel>();
        m_kind = Object::Application;
    }
    binding.lastError = bBound ? QString() : QStringLiteral("the spreadsheet \"%1\" could not be started").arg(control);
    if (binding.pRecorder)
        binding.pRecorder->Record({Object::None, Type::Bind, control.toLatin1(), {}, bBound});
    return bBound;
}

QVariant AxObject::dynamicCall(const char* name, const QVariant& var1, const QVariant& var2)
{
    return Issue(Type::Call, name, var1, var2, nullptr) ? QVariant(true) : QVariant();
}

AxObject* AxObject::querySubObject(const char* name, const QVariant& var1, const QVariant& var2)
{
    AxObject* pSub = nullptr;
    return Issue(Type::SubObject, name, var1, var2, &pSub) ? pSub : nullptr;
}

bool AxObject::setProperty(const char* name, const QVariant& value)
{
    return Issue(Type::Set, name, value, QVariant(), nullptr);
}

QString AxObject::lastError() const
{
    return m_pBinding->lastError;
}

bool AxObject::Issue(Type type, const char* name, const QVariant& var1, const QVariant& var2, AxObject** ppSub)
{
    Binding& binding = *m_pBinding;
    name = name ? name : "";
    // As with a COM container: the arguments end at the first invalid one.
    const int nArgs = !var1.isValid() ? 0 : !var2.isValid() ? 1 : 2;
    const bool bRefused = binding.pRecorder && binding.pRecorder->RefusesNext();
    const Entry* pEntry = Find(m_kind, type, name); // none while unbound
    Act act{binding.pSheet.get(), m_area, &binding.lastError};
    const QString takes = pEntry && !bRefused ? Accept(pEntry->shape, var1, var2, nArgs, &act) : QString();
    binding.lastError = Refusal(pEntry, name, bRefused, takes);
    const bool bOk = binding.lastError.isNull() && (!pEntry->effect || pEntry->effect(act));
    if (bOk && ppSub) {
        binding.listObjects.emplace_back(Key(), m_pBinding, pEntry->result, act.area);
        *ppSub = &binding.listObjects.back();
    }
    if (binding.pRecorder)
        binding.pRecorder->Record({m_kind, type, name, QVariantList{var1, var2}.mid(0, nArgs), bOk});
    return bOk;
}
