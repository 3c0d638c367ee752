#ifndef DOSEGATE_XLRANGE_H
#define DOSEGATE_XLRANGE_H

#include "AxNode.h"
#include "CellRange.h"

class SheetModel;

// A single cell or a range of a worksheet: its value, row height, text
// layout and merging, and its font and borders.
class XlRange : public AxNode
{
public:
    // The centre alignment constant of the spreadsheet's automation interface.
    static constexpr int kAlignCentre = -4108;

    XlRange(Object kind, AppModel* pApp, BookModel* pBook, SheetModel* pSheet, const CellRange& range);

    bool Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError) override;
    bool Set(const char* name, const QVariant& value, QString* pError) override;
    std::unique_ptr<AxNode> Sub(const char* name, const Arguments& args, QString* pError) override;

private:
    bool SetValue(const Arguments& args, QString* pError);
    bool SetRowHeight(const QVariant& value, QString* pError);
    bool SetWrap(const QVariant& value, QString* pError);
    bool SetMerged(const QVariant& value, QString* pError);
    bool SetCentred(bool bHorizontal, const QVariant& value, QString* pError);

    SheetModel* m_pSheet;
    CellRange m_range;
};

#endif
