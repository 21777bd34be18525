#include "app/Icons.h"

#include <QPainter>

namespace Icons {

QIcon tinted(const char* name, const QColor& color)
{
    const QIcon source = get(name);
    QIcon result;
    for (int size : {16, 22, 32, 44}) {
        QPixmap pixmap = source.pixmap(size, size);
        QPainter p(&pixmap);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(pixmap.rect(), color);
        p.end();
        result.addPixmap(pixmap);
    }
    return result;
}

}  // namespace Icons
