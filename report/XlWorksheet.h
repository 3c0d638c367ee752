#ifndef DOSEGATE_XLWORKSHEET_H
#define DOSEGATE_XLWORKSHEET_H

#include "AxNode.h"

class SheetModel;

// One worksheet: hands out its cells and ranges.
class XlWorksheet : public AxNode
{
public:
    XlWorksheet(AppModel* pApp, BookModel* pBook, SheetModel* pSheet);

    std::unique_ptr<AxNode> Sub(const char* name, const Arguments& args, QString* pError) override;

private:
    std::unique_ptr<AxNode> Cell(const Arguments& args, QString* pError);
    std::unique_ptr<AxNode> Range(const Arguments& args, QString* pError);

    SheetModel* m_pSheet;
};

#endif
