#include "XlRange.h"

#include "CellFormat.h"
#include "SheetModel.h"
#include "XlBorders.h"
#include "XlFont.h"

XlRange::XlRange(Object kind, AppModel* pApp, BookModel* pBook, SheetModel* pSheet, const CellRange& range)
    : AxNode(kind, pApp, pBook)
    , m_pSheet(pSheet)
    , m_range(range)
{
}

bool XlRange::Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError)
{
    if (Is(name, "SetValue(const QString&)"))
        return SetValue(args, pError);
    return AxNode::Call(name, args, pResult, pError);
}

bool XlRange::Set(const char* name, const QVariant& value, QString* pError)
{
    if (Is(name, "RowHeight"))
        return SetRowHeight(value, pError);
    if (Is(name, "WrapText"))
        return SetWrap(value, pError);
    if (Is(name, "MergeCells"))
        return SetMerged(value, pError);
    if (Is(name, "HorizontalAlignment"))
        return SetCentred(true, value, pError);
    if (Is(name, "VerticalAlignment"))
        return SetCentred(false, value, pError);
    return AxNode::Set(name, value, pError);
}

std::unique_ptr<AxNode> XlRange::Sub(const char* name, const Arguments& args, QString* pError)
{
    const bool bFont = Is(name, "Font");
    if (!bFont && !Is(name, "Borders"))
        return AxNode::Sub(name, args, pError);
    if (!CheckCount(args, 0, pError))
        return nullptr;
    if (bFont)
        return std::make_unique<XlFont>(App(), Book(), m_pSheet, m_range);
    return std::make_unique<XlBorders>(App(), Book(), m_pSheet, m_range);
}

bool XlRange::SetValue(const Arguments& args, QString* pError)
{
    QString text;
    if (!CheckCount(args, 1, pError) || !CheckArea(m_range, pError))
        return false;
    if (!ToText(args.at(0), &text))
        return Reject(args.at(0), "a text", pError);
    if (text.size() > SheetModel::kMaxTextLength) {
        *pError = QStringLiteral("a cell holds at most %1 characters").arg(SheetModel::kMaxTextLength);
        return false;
    }
    m_pSheet->SetText(m_range, text);
    return true;
}

bool XlRange::SetRowHeight(const QVariant& value, QString* pError)
{
    double fHeight = 0;
    if (!ToNumber(value, &fHeight) || fHeight < 0 || fHeight > SheetModel::kMaxHeight)
        return Reject(value, "a height from 0 to 409 points", pError);
    m_pSheet->SetRowHeight(m_range.FirstRow(), m_range.LastRow(), fHeight);
    return true;
}

bool XlRange::SetWrap(const QVariant& value, QString* pError)
{
    bool bWrap = false;
    if (!CheckArea(m_range, pError))
        return false;
    if (!ToBool(value, &bWrap))
        return Reject(value, "true or false", pError);
    m_pSheet->ChangeFormat(m_range, [bWrap](CellFormat& format) { format.wrap = bWrap; });
    return true;
}

bool XlRange::SetMerged(const QVariant& value, QString* pError)
{
    bool bMerge = false;
    if (!CheckArea(m_range, pError))
        return false;
    if (!ToBool(value, &bMerge))
        return Reject(value, "true or false", pError);
    if (bMerge)
        return m_pSheet->Merge(m_range, pError);
    m_pSheet->Unmerge(m_range);
    return true;
}

bool XlRange::SetCentred(bool bHorizontal, const QVariant& value, QString* pError)
{
    int nAlignment = 0;
    if (!CheckArea(m_range, pError))
        return false;
    if (!ToInt(value, &nAlignment) || nAlignment != kAlignCentre)
        return Reject(value, "the centre alignment -4108", pError);
    m_pSheet->ChangeFormat(m_range, [bHorizontal](CellFormat& format) {
        (bHorizontal ? format.centreHorizontal : format.centreVertical) = true;
    });
    return true;
}
