#include "AxOperation.h"

#include <QColor>
#include <QStringList>

namespace {

QString ArgText(const QVariant& arg)
{
    const QString value = arg.userType() == QMetaType::QColor ? arg.value<QColor>().name(QColor::HexArgb)
                                                               : arg.toString();
    return QStringLiteral("%1(%2)").arg(QString::fromLatin1(arg.typeName()), value);
}

} // namespace

QString AxOperation::ToString() const
{
    QStringList argTexts;
    for (const QVariant& arg : args)
        argTexts << ArgText(arg);
    return QStringLiteral("%1 %2 \"%3\" [%4]%5")
        .arg(QString::fromLatin1(ObjectName(object)), QString::fromLatin1(TypeName(type)),
             QString::fromLatin1(name), argTexts.join(QStringLiteral(", ")),
             ok ? QString() : QStringLiteral(" refused"));
}

const char* AxOperation::ObjectName(Object object)
{
    switch (object) {
    case Object::None: return "none";
    case Object::Application: return "application";
    case Object::Workbooks: return "workbooks";
    case Object::Workbook: return "workbook";
    case Object::Worksheet: return "worksheet";
    case Object::Cell: return "cell";
    case Object::Range: return "range";
    case Object::Font: return "font";
    case Object::Borders: return "borders";
    }
    return "?";
}

const char* AxOperation::TypeName(Type type)
{
    switch (type) {
    case Type::Bind: return "bind";
    case Type::Call: return "call";
    case Type::Set: return "set";
    case Type::SubObject: return "sub-object";
    case Type::Release: return "release";
    }
    return "?";
}
