#include "XlFont.h"

#include "SheetModel.h"

XlFont::XlFont(AppModel* pApp, BookModel* pBook, SheetModel* pSheet, const CellRange& range)
    : AxNode(Object::Font, pApp, pBook)
    , m_pSheet(pSheet)
    , m_range(range)
{
}

bool XlFont::Set(const char* name, const QVariant& value, QString* pError)
{
    if (!Is(name, "Size"))
        return AxNode::Set(name, value, pError);
    double fSize = 0;
    if (!CheckArea(m_range, pError))
        return false;
    if (!ToNumber(value, &fSize) || fSize < 1 || fSize > SheetModel::kMaxHeight)
        return Reject(value, "a font size from 1 to 409 points", pError);
    m_pSheet->ChangeFormat(m_range, [fSize](CellFormat& format) { format.fontSize = fSize; });
    return true;
}
