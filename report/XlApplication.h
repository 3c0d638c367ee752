#ifndef DOSEGATE_XLAPPLICATION_H
#define DOSEGATE_XLAPPLICATION_H

#include "AppModel.h"
#include "AxNode.h"

// The application object of the in-process spreadsheet; it owns all state.
class XlApplication : public AxNode
{
public:
    XlApplication();
    ~XlApplication() override;

    bool Call(const char* name, const Arguments& args, QVariant* pResult, QString* pError) override;
    bool Set(const char* name, const QVariant& value, QString* pError) override;
    std::unique_ptr<AxNode> Sub(const char* name, const Arguments& args, QString* pError) override;

private:
    bool SetVisible(const Arguments& args, QString* pError);
    bool Quit(const Arguments& args, QString* pError);
    std::unique_ptr<AxNode> ActiveWorkbook(const Arguments& args, QString* pError);

    AppModel m_model;
};

#endif
