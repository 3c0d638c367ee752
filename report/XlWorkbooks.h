#ifndef DOSEGATE_XLWORKBOOKS_H
#define DOSEGATE_XLWORKBOOKS_H

#include "AxNode.h"

// The application's collection of open workbooks.
class XlWorkbooks : public AxNode
{
public:
    explicit XlWorkbooks(AppModel* pApp);

    bool Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError) override;
};

#endif
