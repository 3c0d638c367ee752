#include "AppModel.h"

#include "BookModel.h"

AppModel::AppModel()
    : m_pActiveBook(nullptr)
    , m_bQuit(false)
    , m_bVisible(false)
    , m_bDisplayAlerts(true)
{
}

AppModel::~AppModel() = default;

BookModel* AppModel::AddBook()
{
    m_listBooks.push_back(std::make_unique<BookModel>());
    m_pActiveBook = m_listBooks.back().get();
    return m_pActiveBook;
}

void AppModel::CloseBook(BookModel* pBook)
{
    pBook->Close();
    if (pBook != m_pActiveBook)
        return;
    m_pActiveBook = nullptr;
    for (const auto& book : m_listBooks) {
        if (!book->IsClosed())
            m_pActiveBook = book.get();
    }
}

void AppModel::Quit()
{
    for (const auto& book : m_listBooks)
        book->Close();
    m_pActiveBook = nullptr;
    m_bQuit = true;
}
