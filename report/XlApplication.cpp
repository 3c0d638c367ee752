#include "XlApplication.h"

#include "XlWorkbook.h"
#include "XlWorkbooks.h"

XlApplication::XlApplication()
    : AxNode(Object::Application, &m_model)
{
}

XlApplication::~XlApplication() = default;

bool XlApplication::Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError)
{
    if (Is(name, "SetVisible (bool Visible)"))
        return SetVisible(args, pError);
    if (Is(name, "Quit()"))
        return Quit(args, pError);
    return AxNode::Call(name, args, pResult, pError);
}

bool XlApplication::Set(const char* name, const QVariant& value, QString* pError)
{
    if (!Is(name, "DisplayAlerts"))
        return AxNode::Set(name, value, pError);
    bool bAlerts = false;
    if (!ToBool(value, &bAlerts))
        return Reject(value, "true or false", pError);
    m_model.SetDisplayAlerts(bAlerts);
    return true;
}

std::unique_ptr<AxNode> XlApplication::Sub(const char* name, const Arguments& args, QString* pError)
{
    if (Is(name, "WorkBooks"))
        return CheckCount(args, 0, pError) ? std::make_unique<XlWorkbooks>(&m_model) : nullptr;
    if (Is(name, "ActiveWorkBook"))
        return ActiveWorkbook(args, pError);
    return AxNode::Sub(name, args, pError);
}

bool XlApplication::SetVisible(const Arguments& args, QString* pError)
{
    bool bVisible = false;
    if (!CheckCount(args, 1, pError))
        return false;
    if (!ToBool(args.at(0), &bVisible))
        return Reject(args.at(0), "true or false", pError);
    m_model.SetVisible(bVisible);
    return true;
}

bool XlApplication::Quit(const Arguments& args, QString* pError)
{
    if (!CheckCount(args, 0, pError))
        return false;
    m_model.Quit();
    return true;
}

std::unique_ptr<AxNode> XlApplication::ActiveWorkbook(const Arguments& args, QString* pError)
{
    if (!CheckCount(args, 0, pError))
        return nullptr;
    if (!m_model.ActiveBook()) {
        *pError = QStringLiteral("no workbook is open");
        return nullptr;
    }
    return std::make_unique<XlWorkbook>(&m_model, m_model.ActiveBook());
}
