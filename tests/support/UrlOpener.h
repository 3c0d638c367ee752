#ifndef DOSEGATE_URLOPENER_H
#define DOSEGATE_URLOPENER_H

#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop's handler of file URLs while it lives, noting
// what it was asked to open.
class UrlOpener : public QObject
{
    Q_OBJECT

public:
    UrlOpener();
    ~UrlOpener() override;

    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url);
};

#endif
