#ifndef DOSEGATE_APPMODEL_H
#define DOSEGATE_APPMODEL_H

#include <memory>
#include <vector>

class BookModel;

// State of the in-process spreadsheet application: its open workbooks and
// the settings the automation client may change.
class AppModel
{
public:
    AppModel();
    ~AppModel();

    BookModel* AddBook();
    BookModel* ActiveBook() const { return m_pActiveBook; }
    void CloseBook(BookModel* pBook);

    bool HasQuit() const { return m_bQuit; }
    void Quit();
    void SetVisible(bool bVisible) { m_bVisible = bVisible; }
    bool IsVisible() const { return m_bVisible; }
    void SetDisplayAlerts(bool bAlerts) { m_bDisplayAlerts = bAlerts; }
    bool DisplaysAlerts() const { return m_bDisplayAlerts; }

private:
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    // Closed books stay until the application goes, so that objects still
    // referring to them can report "closed" instead of dangling.
    std::vector<std::unique_ptr<BookModel>> m_listBooks;
    BookModel* m_pActiveBook;
    bool m_bQuit;
    bool m_bVisible;
    bool m_bDisplayAlerts;
};

#endif
