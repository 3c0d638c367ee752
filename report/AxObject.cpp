#include "AxObject.h"

#include "AxRecorder.h"

#include <deque>

// What the top-level object holds for itself and all its sub-objects, which
// stay small and lie together because a report asks for one per cell.
struct AxObject::Binding
{
    AxRecorder* pRecorder = nullptr;
    std::unique_ptr<XlSpreadsheet> pSpreadsheet;
    std::deque<AxObject> listObjects;
};

namespace {

using Type = AxOperation::Type;

// As with a COM container: the arguments end at the first invalid one.
XlSpreadsheet::Arguments Collect(std::initializer_list<const QVariant*> vars)
{
    XlSpreadsheet::Arguments args;
    for (const QVariant* pVar : vars) {
        if (!pVar->isValid())
            break;
        args.append(pVar);
    }
    return args;
}

} // namespace

AxObject::AxObject()
    : m_pRoot(this)
    , m_pBinding(std::make_unique<Binding>())
{
}

AxObject::AxObject(Key, AxObject* pRoot, const XlSpreadsheet::Handle& handle)
    : m_pRoot(pRoot)
    , m_handle(handle)
{
}

AxObject::~AxObject()
{
    if (m_pBinding)
        Record(m_handle.kind, Type::Release, "", {}, true);
}

bool AxObject::setControl(const QString& control)
{
    Binding& binding = *m_pRoot->m_pBinding;
    const bool bRefused = binding.pRecorder && binding.pRecorder->RefusesNext();
    const bool bBound = m_pRoot == this && !bRefused && control == QLatin1String("Excel.Application");
    if (m_pRoot == this) { // a sub-object stays what it is
        binding.listObjects.clear();
        binding.pSpreadsheet.reset(bBound ? new XlSpreadsheet : nullptr);
        m_handle.kind = bBound ? AxOperation::Object::Application : AxOperation::Object::None;
    }
    m_lastError = bBound ? QString() : QStringLiteral("the spreadsheet \"%1\" could not be started").arg(control);
    Record(AxOperation::Object::None, Type::Bind, control.toLatin1().constData(), {}, bBound);
    return bBound;
}

QVariant AxObject::dynamicCall(const char* name, const QVariant& var1, const QVariant& var2, const QVariant& var3,
                               const QVariant& var4, const QVariant& var5, const QVariant& var6,
                               const QVariant& var7, const QVariant& var8)
{
    const XlSpreadsheet::Arguments args = Collect({&var1, &var2, &var3, &var4, &var5, &var6, &var7, &var8});
    return Issue(Type::Call, name, args, nullptr) ? QVariant(true) : QVariant();
}

AxObject* AxObject::querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
                                   const QVariant& var3, const QVariant& var4, const QVariant& var5,
                                   const QVariant& var6, const QVariant& var7, const QVariant& var8)
{
    XlSpreadsheet::Handle handle;
    if (!Issue(Type::SubObject, name, Collect({&var1, &var2, &var3, &var4, &var5, &var6, &var7, &var8}), &handle))
        return nullptr;
    std::deque<AxObject>& objects = m_pRoot->m_pBinding->listObjects;
    objects.emplace_back(Key(), m_pRoot, handle);
    return &objects.back();
}

bool AxObject::setProperty(const char* name, const QVariant& value)
{
    return Issue(Type::Set, name, Collect({&value}), nullptr);
}

void AxObject::setRecorder(AxRecorder* pRecorder)
{
    m_pRoot->m_pBinding->pRecorder = pRecorder;
}

bool AxObject::Issue(AxOperation::Type type, const char* name, const XlSpreadsheet::Arguments& args,
                     XlSpreadsheet::Handle* pSub)
{
    name = name ? name : "";
    const Binding& binding = *m_pRoot->m_pBinding;
    const bool bRefused = binding.pRecorder && binding.pRecorder->RefusesNext();
    m_lastError = binding.pSpreadsheet ? QString() : QStringLiteral("the spreadsheet is not started");
    const bool bOk = binding.pSpreadsheet
        && binding.pSpreadsheet->Apply(m_handle, type, name, args, bRefused, pSub, &m_lastError);
    Record(m_handle.kind, type, name, args, bOk);
    return bOk;
}

void AxObject::Record(AxOperation::Object object, AxOperation::Type type, const char* name,
                      const XlSpreadsheet::Arguments& args, bool bOk)
{
    AxRecorder* pRecorder = m_pRoot->m_pBinding->pRecorder;
    if (!pRecorder)
        return;
    QVariantList values;
    for (const QVariant* pArg : args)
        values.append(*pArg);
    pRecorder->Record({object, type, name, values, bOk});
}
