#include "ModalWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>

ModalWatcher::ModalWatcher(QMessageBox::StandardButton answer, QObject* parent)
    : QObject(parent)
    , m_answer(answer)
{
    connect(&m_timer, SIGNAL(timeout()), this, SLOT(Poll()));
    m_timer.start(5);
}

void ModalWatcher::Poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (box != m_pSeen) {
        m_pSeen = box;
        m_nSeenAt = now;
        boxes << box->windowTitle() + QLatin1Char('|') + box->text();
        boxHadParent << (box->parentWidget() != nullptr);
    }
    if (now - m_nSeenAt >= m_nHoldMs)
        Answer(box);
}

void ModalWatcher::Answer(QMessageBox* box)
{
    QAbstractButton* button = m_answer != QMessageBox::NoButton ? box->button(m_answer) : nullptr;
    if (!button)
        button = box->escapeButton();
    if (!button && !box->buttons().isEmpty())
        button = box->buttons().first();
    if (button)
        button->click();
    else
        box->done(0);
    m_pSeen = nullptr;
}
