#ifndef DOSEGATE_AXNODE_H
#define DOSEGATE_AXNODE_H

#include "AxOperation.h"

#include <QString>
#include <QVarLengthArray>
#include <QVariant>

#include <memory>

class AppModel;
class BookModel;
class CellRange;

// What an automation object is bound to inside the in-process spreadsheet.
// Each kind of object answers only the names it knows; everything else is
// refused with a reason.
class AxNode
{
public:
    using Object = AxOperation::Object;
    using Arguments = QVarLengthArray<QVariant, 8>;

    AxNode(Object kind, AppModel* pApp, BookModel* pBook = nullptr);
    virtual ~AxNode();

    Object Kind() const { return m_kind; }
    // False once the application has quit or the workbook was closed.
    bool Usable(QString* pError) const;

    virtual bool Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError);
    virtual bool Set(const char* name, const QVariant& value, QString* pError);
    virtual std::unique_ptr<AxNode> Sub(const char* name, const Arguments& args, QString* pError);

protected:
    AppModel* App() const { return m_pApp; }
    BookModel* Book() const { return m_pBook; }

    static bool Unknown(const char* what, QString* pError);
    static bool Is(const char* name, const char* known);
    static bool CheckCount(const Arguments& args, int nCount, QString* pError);
    static bool CheckArea(const CellRange& area, QString* pError);
    static bool Reject(const QVariant& value, const char* expected, QString* pError);

    static bool ToBool(const QVariant& value, bool* pValue);
    static bool ToInt(const QVariant& value, int* pValue);
    static bool ToNumber(const QVariant& value, double* pValue);
    static bool ToText(const QVariant& value, QString* pValue);

private:
    AxNode(const AxNode&) = delete;
    AxNode& operator=(const AxNode&) = delete;

    Object m_kind;
    AppModel* m_pApp;
    BookModel* m_pBook;
};

#endif
