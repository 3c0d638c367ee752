#include "XlWorkbooks.h"

#include "AppModel.h"

XlWorkbooks::XlWorkbooks(AppModel* pApp)
    : AxNode(Object::Workbooks, pApp)
{
}

bool XlWorkbooks::Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError)
{
    if (!Is(name, "Add"))
        return AxNode::Call(name, args, pResult, pError);
    if (!CheckCount(args, 0, pError))
        return false;
    App()->AddBook();
    return true;
}
