#ifndef DOSEGATE_XLSPREADSHEET_H
#define DOSEGATE_XLSPREADSHEET_H

#include "AxOperation.h"
#include "SheetModel.h"

#include <QRgb>
#include <QVarLengthArray>
#include <QVariant>

// The in-process spreadsheet behind "Excel.Application": one workbook of
// one worksheet, saved as .xlsx, and the one table of the names its
// objects answer, each with the arguments it takes and what it does.
class XlSpreadsheet
{
public:
    using Object = AxOperation::Object;
    using Type = AxOperation::Type;
    using Arguments = QVarLengthArray<const QVariant*, 8>;

    // What an automation object stands for: its kind and, from a cell or
    // range down to its font and borders, the cells it covers.
    struct Handle
    {
        Object kind = Object::None;
        SheetModel::Area area;
    };

    // Carries out one operation on the object of handle; a sub-object's
    // handle comes back in *pSub. A refused operation fails as if the
    // spreadsheet had turned it down. Reasons are for the operator.
    bool Apply(const Handle& handle, Type type, const char* name, const Arguments& args, bool bRefused,
               Handle* pSub, QString* pError);

private:
    enum class Stage { Started, Open, Closed, Quit };
    enum class Shape { None, Flag, Yes, FirstSheet, Position, Text, Address, Height, FontSize, Centre, Line, Colour };

    // One operation under way: the object's handle (a sub-object's once
    // done), the arguments as the shape took them, and where a reason goes.
    struct Act
    {
        XlSpreadsheet& spreadsheet;
        Handle handle;
        QString* pError;
        double fNumber = 0;
        QString text{};
        QRgb nColour = 0;
        SheetModel::Area area{};

        template <typename Change>
        bool Cells(Change change);
    };

    struct Entry
    {
        Object object; // a cell answers the names of a range
        Type type;
        const char* name;
        Shape shape;
        const char* what; // what it does, in the operator's words
        Object result;    // the kind of a sub-object
        bool (*effect)(Act& act); // null: nothing to do beyond the checks
    };
    static const Entry kTable[];

    // Null when the arguments fit the shape, else what the shape takes.
    static const char* Accept(Shape shape, const Arguments& args, Act* pAct);
    static bool Fail(QString* pError, const QString& reason);
    bool Usable(Object kind, QString* pError) const;

    SheetModel m_sheet;
    Stage m_stage = Stage::Started;
};

#endif
