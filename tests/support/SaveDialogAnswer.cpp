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

void SaveDialogAnswer::Poll()
{
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog)
        return;
    m_timer.stop();
    title = dialog->windowTitle();
    folder = dialog->directory().absolutePath();
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        typedName = name->text();
    filters = dialog->nameFilters();
    parentName = dialog->parentWidget() ? dialog->parentWidget()->objectName() : QString();
    if (m_path.isEmpty()) {
        dialog->reject();
        return;
    }
    dialog->selectFile(m_path);
    QMetaObject::invokeMethod(dialog, "accept"); // protected in QFileDialog
}
