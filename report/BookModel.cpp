#include "BookModel.h"

#include "BookFile.h"
#include "SheetModel.h"

BookModel::BookModel()
    : m_bClosed(false)
{
    m_listSheets.push_back(std::make_unique<SheetModel>());
}

BookModel::~BookModel() = default;

SheetModel* BookModel::Sheet(int nIndex) const
{
    if (nIndex < 1 || nIndex > SheetCount())
        return nullptr;
    return m_listSheets[size_t(nIndex - 1)].get();
}

void BookModel::Close()
{
    m_bClosed = true;
    m_listSheets.clear();
}

bool BookModel::SaveAs(const QString& path, QString* pError) const
{
    std::vector<const SheetModel*> sheets;
    for (const auto& sheet : m_listSheets)
        sheets.push_back(sheet.get());
    return BookFile::Write(sheets, path, pError);
}
