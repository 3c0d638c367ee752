#ifndef DOSEGATE_AXOBJECT_H
#define DOSEGATE_AXOBJECT_H

#include "AxOperation.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class AxNode;
class AxRecorder;

// An automation object in the manner of a COM container: bound to a class
// name, driven by method and property name strings, handing out
// sub-objects that it owns and releases with itself. "Excel.Application"
// is served by an in-process spreadsheet that saves .xlsx files. Every
// name an object does not know fails, with the reason in lastError().
class AxObject
{
public:
    AxObject();
    explicit AxObject(const QString& control);
    ~AxObject();

    // Only a top-level object can be bound; binding again drops the old
    // binding with all its sub-objects.
    bool setControl(const QString& control);
    QString control() const { return m_control; }
    bool isNull() const { return !m_pNode; }

    // The method's result, true for a method without one, or an invalid
    // QVariant when the call failed.
    QVariant dynamicCall(const char* name, const QVariant& var1 = QVariant(), const QVariant& var2 = QVariant(),
                         const QVariant& var3 = QVariant(), const QVariant& var4 = QVariant(),
                         const QVariant& var5 = QVariant(), const QVariant& var6 = QVariant(),
                         const QVariant& var7 = QVariant(), const QVariant& var8 = QVariant());
    // Owned by this object; null when the name or arguments are refused.
    AxObject* querySubObject(const char* name, const QVariant& var1 = QVariant(), const QVariant& var2 = QVariant(),
                             const QVariant& var3 = QVariant(), const QVariant& var4 = QVariant(),
                             const QVariant& var5 = QVariant(), const QVariant& var6 = QVariant(),
                             const QVariant& var7 = QVariant(), const QVariant& var8 = QVariant());
    bool setProperty(const char* name, const QVariant& value);

    // Why the last operation on this object failed; empty after a success.
    QString lastError() const { return m_lastError; }
    AxOperation::Object kind() const;
    AxObject* parent() const { return m_pParent; }

    // Set on the top-level object before binding; sub-objects report to
    // the same recorder. Not owned.
    void setRecorder(AxRecorder* pRecorder) { m_pRecorder = pRecorder; }

private:
    AxObject(std::unique_ptr<AxNode> node, AxObject* pParent);
    AxObject(const AxObject&) = delete;
    AxObject& operator=(const AxObject&) = delete;

    bool Admit();
    // Records the operation and completes the error text; returns bOk.
    bool Finish(AxOperation::Type type, const char* name, const QVariant* pArgs, int nArgs, bool bOk,
                AxOperation::Object object);
    void Clear();
    void Forget(AxObject* pChild);

    std::unique_ptr<AxNode> m_pNode;
    AxObject* m_pParent;
    std::vector<AxObject*> m_listChildren;
    AxRecorder* m_pRecorder;
    QString m_control;
    QString m_lastError;
};

#endif
