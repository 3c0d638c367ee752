#ifndef DOSEGATE_MODALWATCHER_H
#define DOSEGATE_MODALWATCHER_H

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers every modal message box that opens while it lives, noting its
// title and text ("title|text"), so tests can drive slots that block on a
// box.
class ModalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ModalWatcher(QMessageBox::StandardButton answer = QMessageBox::NoButton, QObject* parent = nullptr);

    void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    // Keep boxes open this long before answering them.
    void SetHoldMs(int holdMs) { m_nHoldMs = holdMs; }

    QStringList boxes;
    QList<bool> boxHadParent;

private slots:
    void Poll();

private:
    void Answer(QMessageBox* box);

    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    int m_nHoldMs = 0;
    QMessageBox* m_pSeen = nullptr;
    qint64 m_nSeenAt = 0;
};

#endif
