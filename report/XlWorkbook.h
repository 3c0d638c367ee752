#ifndef DOSEGATE_XLWORKBOOK_H
#define DOSEGATE_XLWORKBOOK_H

#include "AxNode.h"

// One open workbook: its worksheets, saving and closing.
class XlWorkbook : public AxNode
{
public:
    XlWorkbook(AppModel* pApp, BookModel* pBook);

    bool Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError) override;
    std::unique_ptr<AxNode> Sub(const char* name, const Arguments& args, QString* pError) override;

private:
    bool SaveAs(const Arguments& args, QString* pError);
    bool Close(const Arguments& args, QString* pError);
    std::unique_ptr<AxNode> Worksheet(const Arguments& args, QString* pError);
};

#endif
