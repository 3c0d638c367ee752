#include "AxObject.h"

#include "AxNode.h"
#include "AxRecorder.h"
#include "XlApplication.h"

#include <algorithm>

namespace {

// As with a COM container: the arguments end at the first invalid one.
AxNode::Arguments Collect(std::initializer_list<const QVariant*> vars)
{
    AxNode::Arguments args;
    for (const QVariant* pVar : vars) {
        if (!pVar->isValid())
            break;
        args.append(*pVar);
    }
    return args;
}

} // namespace

AxObject::AxObject()
    : m_pParent(nullptr)
    , m_pRecorder(nullptr)
{
}

AxObject::AxObject(const QString& control)
    : AxObject()
{
    setControl(control);
}

AxObject::AxObject(std::unique_ptr<AxNode> node, AxObject* pParent)
    : m_pNode(std::move(node))
    , m_pParent(pParent)
    , m_pRecorder(pParent->m_pRecorder)
{
}

AxObject::~AxObject()
{
    if (m_pParent)
        m_pParent->Forget(this);
    else
        Finish(AxOperation::Type::Release, "", nullptr, 0, true, kind());
    Clear();
}

bool AxObject::setControl(const QString& control)
{
    const QByteArray name = control.toLatin1();
    if (m_pParent) {
        m_lastError = QStringLiteral("a sub-object cannot be bound to \"%1\"").arg(control);
        return Finish(AxOperation::Type::Bind, name.constData(), nullptr, 0, false, kind());
    }
    Clear();
    m_lastError.clear();
    const bool bRefused = m_pRecorder && m_pRecorder->RefusesNext();
    if (bRefused)
        m_lastError = QStringLiteral("refused");
    else if (control == QLatin1String("Excel.Application"))
        m_pNode = std::make_unique<XlApplication>();
    else
        m_lastError = QStringLiteral("the class \"%1\" is not registered").arg(control);
    m_control = m_pNode ? control : QString();
    return Finish(AxOperation::Type::Bind, name.constData(), nullptr, 0, bool(m_pNode), AxOperation::Object::None);
}

QVariant AxObject::dynamicCall(const char* name, const QVariant& var1, const QVariant& var2, const QVariant& var3,
                               const QVariant& var4, const QVariant& var5, const QVariant& var6,
                               const QVariant& var7, const QVariant& var8)
{
    name = name ? name : "";
    const AxNode::Arguments args = Collect({&var1, &var2, &var3, &var4, &var5, &var6, &var7, &var8});
    QVariant result;
    const bool bOk = Admit() && m_pNode->Call(name, args, &result, &m_lastError);
    if (bOk && !result.isValid())
        result = true;
    return Finish(AxOperation::Type::Call, name, args.constData(), args.size(), bOk, kind()) ? result : QVariant();
}

AxObject* AxObject::querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
                                   const QVariant& var3, const QVariant& var4, const QVariant& var5,
                                   const QVariant& var6, const QVariant& var7, const QVariant& var8)
{
    name = name ? name : "";
    const AxNode::Arguments args = Collect({&var1, &var2, &var3, &var4, &var5, &var6, &var7, &var8});
    std::unique_ptr<AxNode> node = Admit() ? m_pNode->Sub(name, args, &m_lastError) : nullptr;
    if (!Finish(AxOperation::Type::SubObject, name, args.constData(), args.size(), bool(node), kind()))
        return nullptr;
    m_listChildren.push_back(new AxObject(std::move(node), this));
    return m_listChildren.back();
}

bool AxObject::setProperty(const char* name, const QVariant& value)
{
    name = name ? name : "";
    const bool bOk = Admit() && m_pNode->Set(name, value, &m_lastError);
    return Finish(AxOperation::Type::Set, name, &value, 1, bOk, kind());
}

AxOperation::Object AxObject::kind() const
{
    return m_pNode ? m_pNode->Kind() : AxOperation::Object::None;
}

bool AxObject::Admit()
{
    m_lastError.clear();
    if (!m_pNode)
        m_lastError = QStringLiteral("the object is not bound");
    else if (m_pRecorder && m_pRecorder->RefusesNext())
        m_lastError = QStringLiteral("refused");
    else
        m_pNode->Usable(&m_lastError);
    return m_lastError.isEmpty();
}

bool AxObject::Finish(AxOperation::Type type, const char* name, const QVariant* pArgs, int nArgs, bool bOk,
                      AxOperation::Object object)
{
    if (m_pRecorder) {
        AxOperation operation;
        operation.object = object;
        operation.type = type;
        operation.name = name;
        operation.args = QVariantList(pArgs, pArgs + nArgs);
        operation.ok = bOk;
        m_pRecorder->Record(operation);
    }
    if (!bOk && type != AxOperation::Type::Bind)
        m_lastError = QStringLiteral("\"%1\" on the %2 object: %3")
                          .arg(QString::fromLatin1(name), QLatin1String(AxOperation::ObjectName(object)), m_lastError);
    return bOk;
}

void AxObject::Clear()
{
    // Children first: their nodes refer to state the parent's node owns.
    std::vector<AxObject*> children;
    children.swap(m_listChildren);
    for (AxObject* pChild : children) {
        pChild->m_pParent = nullptr;
        pChild->m_pRecorder = nullptr;
        delete pChild;
    }
    m_pNode.reset();
    m_control.clear();
}

void AxObject::Forget(AxObject* pChild)
{
    m_listChildren.erase(std::remove(m_listChildren.begin(), m_listChildren.end(), pChild), m_listChildren.end());
}
