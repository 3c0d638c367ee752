#include "XlWorkbook.h"

#include "AppModel.h"
#include "BookModel.h"
#include "XlWorksheet.h"

XlWorkbook::XlWorkbook(AppModel* pApp, BookModel* pBook)
    : AxNode(Object::Workbook, pApp, pBook)
{
}

bool XlWorkbook::Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError)
{
    if (Is(name, "SaveAs(const QString&)"))
        return SaveAs(args, pError);
    if (Is(name, "Close()"))
        return Close(args, pError);
    return AxNode::Call(name, args, pResult, pError);
}

std::unique_ptr<AxNode> XlWorkbook::Sub(const char* name, const Arguments& args, QString* pError)
{
    if (Is(name, "Worksheets(int)"))
        return Worksheet(args, pError);
    return AxNode::Sub(name, args, pError);
}

bool XlWorkbook::SaveAs(const Arguments& args, QString* pError)
{
    QString path;
    if (!CheckCount(args, 1, pError))
        return false;
    if (!ToText(args.at(0), &path))
        return Reject(args.at(0), "a file path", pError);
    return Book()->SaveAs(path, pError);
}

bool XlWorkbook::Close(const Arguments& args, QString* pError)
{
    if (!CheckCount(args, 0, pError))
        return false;
    App()->CloseBook(Book());
    return true;
}

std::unique_ptr<AxNode> XlWorkbook::Worksheet(const Arguments& args, QString* pError)
{
    int nIndex = 0;
    if (!CheckCount(args, 1, pError))
        return nullptr;
    if (!ToInt(args.at(0), &nIndex)) {
        Reject(args.at(0), "a sheet number", pError);
        return nullptr;
    }
    SheetModel* pSheet = Book()->Sheet(nIndex);
    if (!pSheet) {
        *pError = QStringLiteral("the workbook has no worksheet %1").arg(nIndex);
        return nullptr;
    }
    return std::make_unique<XlWorksheet>(App(), Book(), pSheet);
}
