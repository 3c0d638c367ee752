#ifndef DOSEGATE_AXOPERATION_H
#define DOSEGATE_AXOPERATION_H

#include <QByteArray>
#include <QVariantList>

// One operation issued through the automation layer, as an AxRecorder keeps
// it: on what kind of object, what was done, the name string and arguments
// exactly as the caller passed them, and whether the object accepted it.
struct AxOperation
{
    enum class Object : quint8 { None, Application, Workbooks, Workbook, Worksheet, Cell, Range, Font, Borders };
    enum class Type { Bind, Call, Set, SubObject, Release };

    Object object = Object::None;
    Type type = Type::Call;
    QByteArray name;
    QVariantList args;
    bool ok = true;
};

#endif
