#include "SaveDialogAnswer.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>

SaveDialogAnswer::SaveDialogAnswer(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
{
    connect(&m_timer, SIGNAL(timeout()), this, SLOT(Poll()));
    m_timer.start(5);
}

// Answered again at each poll until it closes: the dialog's file list,
// still loading in its own thread, can replace the name it was given.
void SaveDialogAnswer::Poll()
{
    if (m_bSeen && (!m_pDialog || !m_pDialog->isVisible())) {
        m_timer.stop();
        return;
    }
    QFileDialog* dialog = m_bSeen ? m_pDialog.data() : qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog)
        return;
    if (m_bSeen) {
        Answer(dialog);
        return;
    }
    m_bSeen = true;
    m_pDialog = dialog;
    title = dialog->windowTitle();
    folder = dialog->directory().absolutePath();
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        typedName = name->text();
    filters = dialog->nameFilters();
    parentName = dialog->parentWidget() ? dialog->parentWidget()->objectName() : QString();
    if (m_path.isEmpty()) {
        m_timer.stop();
        dialog->reject();
        return;
    }
    Answer(dialog);
}

// Typed in, as a user would: selectFile() would move the dialog to the
// path's folder first, whose loading can clear the name again.
void SaveDialogAnswer::Answer(QFileDialog* dialog)
{
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(m_path);
    else
        dialog->selectFile(m_path);
    QMetaObject::invokeMethod(dialog, "accept"); // protected in QFileDialog
}
