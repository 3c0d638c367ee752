#ifndef DOSEGATE_BOOKMODEL_H
#define DOSEGATE_BOOKMODEL_H

#include <QString>

#include <memory>
#include <vector>

class SheetModel;

// One workbook of the in-process spreadsheet: a new one holds a single
// worksheet, as the spreadsheet application's default does.
class BookModel
{
public:
    BookModel();
    ~BookModel();

    int SheetCount() const { return int(m_listSheets.size()); }
    SheetModel* Sheet(int nIndex) const; // counted from 1
    bool IsClosed() const { return m_bClosed; }
    void Close();
    bool SaveAs(const QString& path, QString* pError) const;

private:
    BookModel(const BookModel&) = delete;
    BookModel& operator=(const BookModel&) = delete;

    std::vector<std::unique_ptr<SheetModel>> m_listSheets;
    bool m_bClosed;
};

#endif
