#ifndef DOSEGATE_SAVEDIALOGANSWER_H
#define DOSEGATE_SAVEDIALOGANSWER_H

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QFileDialog;

// Answers the next modal file dialog: with the given path, or by cancelling
// when the path is empty; notes what the dialog offered.
class SaveDialogAnswer : public QObject
{
    Q_OBJECT

public:
    explicit SaveDialogAnswer(const QString& path, QObject* parent = nullptr);

    QString title;
    QString folder;
    QString typedName; // what the file name field held when it opened
    QStringList filters;
    QString parentName;

private slots:
    void Poll();

private:
    void Answer(QFileDialog* dialog);

    QString m_path;
    QTimer m_timer;
    QPointer<QFileDialog> m_pDialog; // the one answered, while it is open
    bool m_bSeen = false;
};

#endif
