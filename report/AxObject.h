#ifndef DOSEGATE_AXOBJECT_H
#define DOSEGATE_AXOBJECT_H

#include "AxOperation.h"
#include "SheetModel.h"

#include <QVariant>

class AxRecorder;

// An automation object in the manner of a COM container: bound to a class
// name, driven by method and property name strings, handing out
// sub-objects. "Excel.Application" is served in process: one workbook of
// one worksheet, saved as .xlsx. A name or argument an object does not
// take fails, with the reason in lastError().
class AxObject
{
public:
    // A recorder, when given, sees every operation of the object and its
    // sub-objects. Not owned.
    explicit AxObject(AxRecorder* pRecorder = nullptr);
    ~AxObject();

    // Only a top-level object can be bound, and only once.
    bool setControl(const QString& control);

    // True for a method without a result; an invalid QVariant when the call failed.
    QVariant dynamicCall(const char* name, const QVariant& var1 = QVariant(), const QVariant& var2 = QVariant());
    // Released with the top-level object, never before; null when refused.
    AxObject* querySubObject(const char* name, const QVariant& var1 = QVariant(), const QVariant& var2 = QVariant());
    bool setProperty(const char* name, const QVariant& value);

    // Why the last operation failed, for the operator; empty after a
    // success. As COM's error information, it is one for all the objects
    // of an application.
    QString lastError() const;
    AxOperation::Object kind() const { return m_kind; }

    // Sub-objects are made by their source alone.
    class Key
    {
        friend class AxObject;
        Key() = default;
    };
    struct Binding;
    AxObject(Key, Binding* pBinding, AxOperation::Object kind, const SheetModel::Area& area);

private:
    AxObject(const AxObject&) = delete;
    AxObject& operator=(const AxObject&) = delete;

    bool Issue(AxOperation::Type type, const char* name, const QVariant& var1, const QVariant& var2,
               AxObject** ppSub);

    // Kept small, as a report asks for a sub-object per cell.
    Binding* m_pBinding; // shared with the sub-objects; the top-level object's own
    SheetModel::Area m_area; // the cells a cell or range, and its font or borders, stand for
    AxOperation::Object m_kind = AxOperation::Object::None;
    bool m_bTop;
};

#endif
