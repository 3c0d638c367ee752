#ifndef DOSEGATE_AXOBJECT_H
#define DOSEGATE_AXOBJECT_H

#include "XlSpreadsheet.h"

#include <QString>
#include <QVariant>

#include <memory>

class AxRecorder;

// An automation object in the manner of a COM container: bound to a class
// name, driven by method and property name strings, handing out
// sub-objects. "Excel.Application" is served by an in-process spreadsheet
// that saves .xlsx files. A name or argument the object does not take
// fails, with the reason in lastError().
class AxObject
{
public:
    AxObject();
    ~AxObject();

    // Only a top-level object can be bound; binding again releases the old
    // binding with all its sub-objects.
    bool setControl(const QString& control);

    // True for a method without a result; an invalid QVariant when the call failed.
    QVariant dynamicCall(const char* name, const QVariant& var1 = QVariant(), const QVariant& var2 = QVariant(),
                         const QVariant& var3 = QVariant(), const QVariant& var4 = QVariant(),
                         const QVariant& var5 = QVariant(), const QVariant& var6 = QVariant(),
                         const QVariant& var7 = QVariant(), const QVariant& var8 = QVariant());
    // Released with the top-level object, never before; null when refused.
    AxObject* querySubObject(const char* name, const QVariant& var1 = QVariant(), const QVariant& var2 = QVariant(),
                             const QVariant& var3 = QVariant(), const QVariant& var4 = QVariant(),
                             const QVariant& var5 = QVariant(), const QVariant& var6 = QVariant(),
                             const QVariant& var7 = QVariant(), const QVariant& var8 = QVariant());
    bool setProperty(const char* name, const QVariant& value);

    // Why the last operation on this object failed, for the operator; empty after a success.
    QString lastError() const { return m_lastError; }
    AxOperation::Object kind() const { return m_handle.kind; }

    // Set on the top-level object; its sub-objects report to the same
    // recorder. Not owned.
    void setRecorder(AxRecorder* pRecorder);

    // Sub-objects are made by their source alone.
    class Key
    {
        friend class AxObject;
        Key() = default;
    };
    AxObject(Key, AxObject* pRoot, const XlSpreadsheet::Handle& handle);

private:
    struct Binding;

    AxObject(const AxObject&) = delete;
    AxObject& operator=(const AxObject&) = delete;

    bool Issue(AxOperation::Type type, const char* name, const XlSpreadsheet::Arguments& args,
               XlSpreadsheet::Handle* pSub);
    void Record(AxOperation::Object object, AxOperation::Type type, const char* name,
                const XlSpreadsheet::Arguments& args, bool bOk);

    AxObject* m_pRoot; // the top-level object, this one included
    XlSpreadsheet::Handle m_handle;
    QString m_lastError;
    std::unique_ptr<Binding> m_pBinding; // the top-level object's alone
};

#endif
