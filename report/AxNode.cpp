#include "AxNode.h"

#include "AppModel.h"
#include "BookModel.h"
#include "CellRange.h"
#include "SheetModel.h"

#include <cmath>
#include <cstring>

AxNode::AxNode(Object kind, AppModel* pApp, BookModel* pBook)
    : m_kind(kind)
    , m_pApp(pApp)
    , m_pBook(pBook)
{
}

AxNode::~AxNode() = default;

bool AxNode::Usable(QString* pError) const
{
    if (m_pApp && m_pApp->HasQuit()) {
        *pError = QStringLiteral("the application has quit");
        return false;
    }
    if (m_pBook && m_pBook->IsClosed()) {
        *pError = QStringLiteral("the workbook is closed");
        return false;
    }
    return true;
}

bool AxNode::Call(const char*, const Arguments&, QVariant*, QString* pError)
{
    return Unknown("method", pError);
}

bool AxNode::Set(const char*, const QVariant&, QString* pError)
{
    return Unknown("property", pError);
}

std::unique_ptr<AxNode> AxNode::Sub(const char*, const Arguments&, QString* pError)
{
    Unknown("sub-object", pError);
    return nullptr;
}

bool AxNode::Unknown(const char* what, QString* pError)
{
    *pError = QStringLiteral("no such %1").arg(QLatin1String(what));
    return false;
}

bool AxNode::Is(const char* name, const char* known)
{
    return std::strcmp(name, known) == 0;
}

bool AxNode::CheckCount(const Arguments& args, int nCount, QString* pError)
{
    if (args.size() == nCount)
        return true;
    *pError = QStringLiteral("expects %1 argument(s), got %2").arg(nCount).arg(args.size());
    return false;
}

bool AxNode::CheckArea(const CellRange& area, QString* pError)
{
    if (area.IsRows()) {
        *pError = QStringLiteral("whole rows (%1) can only take a row height").arg(area.ToString());
        return false;
    }
    if (area.CellCount() > SheetModel::kMaxRangeCells) {
        *pError = QStringLiteral("the range %1 is too large").arg(area.ToString());
        return false;
    }
    return true;
}

bool AxNode::Reject(const QVariant& value, const char* expected, QString* pError)
{
    *pError = QStringLiteral("expects %1, got %2 \"%3\"")
                  .arg(QLatin1String(expected), QLatin1String(value.typeName() ? value.typeName() : "nothing"),
                       value.toString());
    return false;
}

bool AxNode::ToBool(const QVariant& value, bool* pValue)
{
    // Text is taken as the automation bridge takes it: "true" or "false".
    if (value.userType() == QMetaType::Bool) {
        *pValue = value.toBool();
        return true;
    }
    if (value.userType() != QMetaType::QString)
        return false;
    const QString text = value.toString().trimmed().toLower();
    if (text != QLatin1String("true") && text != QLatin1String("false"))
        return false;
    *pValue = text == QLatin1String("true");
    return true;
}

bool AxNode::ToInt(const QVariant& value, int* pValue)
{
    double fValue = 0;
    if (!ToNumber(value, &fValue) || fValue != std::floor(fValue) || std::fabs(fValue) > 2147483647.0)
        return false;
    *pValue = int(fValue);
    return true;
}

bool AxNode::ToNumber(const QVariant& value, double* pValue)
{
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QString:
        break;
    default:
        return false;
    }
    bool bOk = false;
    *pValue = value.toDouble(&bOk);
    return bOk && std::isfinite(*pValue);
}

bool AxNode::ToText(const QVariant& value, QString* pValue)
{
    if (value.userType() != QMetaType::QString)
        return false;
    *pValue = value.toString();
    return true;
}
