#ifndef DOSEGATE_XLBORDERS_H
#define DOSEGATE_XLBORDERS_H

#include "AxNode.h"
#include "CellRange.h"

class SheetModel;

// All borders of every cell of a range, edges and inner lines alike.
class XlBorders : public AxNode
{
public:
    static constexpr int kLineContinuous = 1;

    XlBorders(AppModel* pApp, BookModel* pBook, SheetModel* pSheet, const CellRange& range);

    bool Set(const char* name, const QVariant& value, QString* pError) override;

private:
    bool SetLineStyle(const QVariant& value, QString* pError);
    bool SetColour(const QVariant& value, QString* pError);

    SheetModel* m_pSheet;
    CellRange m_range;
};

#endif
