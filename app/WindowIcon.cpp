#include "WindowIcon.h"

#include <QImageReader>
#include <QPixmap>

namespace {
const int kSizes[] = { 16, 32, 48, 64, 128 };
} // namespace

QIcon WindowIcon::Make()
{
    QIcon icon;
    for (int size : kSizes) {
        QImageReader reader(QStringLiteral(":/SetwiseDosegate/icon-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
