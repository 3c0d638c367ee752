#include "XlBorders.h"

#include "SheetModel.h"

#include <QColor>

XlBorders::XlBorders(AppModel* pApp, BookModel* pBook, SheetModel* pSheet, const CellRange& range)
    : AxNode(Object::Borders, pApp, pBook)
    , m_pSheet(pSheet)
    , m_range(range)
{
}

bool XlBorders::Set(const char* name, const QVariant& value, QString* pError)
{
    if (Is(name, "LineStyle"))
        return CheckArea(m_range, pError) && SetLineStyle(value, pError);
    if (Is(name, "Color"))
        return CheckArea(m_range, pError) && SetColour(value, pError);
    return AxNode::Set(name, value, pError);
}

bool XlBorders::SetLineStyle(const QVariant& value, QString* pError)
{
    int nStyle = 0;
    if (!ToInt(value, &nStyle) || nStyle != kLineContinuous)
        return Reject(value, "the continuous line style 1", pError);
    m_pSheet->ChangeFormat(m_range, [](CellFormat& format) { format.border = true; });
    return true;
}

bool XlBorders::SetColour(const QVariant& value, QString* pError)
{
    if (value.userType() != QMetaType::QColor || !value.value<QColor>().isValid())
        return Reject(value, "a colour", pError);
    const QColor colour = value.value<QColor>().toRgb();
    m_pSheet->ChangeFormat(m_range, [&colour](CellFormat& format) { format.borderColour = colour; });
    return true;
}
