#include "UrlOpener.h"

#include <QDesktopServices>

UrlOpener::UrlOpener()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open");
}

UrlOpener::~UrlOpener()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void UrlOpener::Open(const QUrl& url)
{
    opened << url;
}
