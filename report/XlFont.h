#ifndef DOSEGATE_XLFONT_H
#define DOSEGATE_XLFONT_H

#include "AxNode.h"
#include "CellRange.h"

class SheetModel;

// The font of a cell or range.
class XlFont : public AxNode
{
public:
    XlFont(AppModel* pApp, BookModel* pBook, SheetModel* pSheet, const CellRange& range);

    bool Set(const char* name, const QVariant& value, QString* pError) override;

private:
    SheetModel* m_pSheet;
    CellRange m_range;
};

#endif
