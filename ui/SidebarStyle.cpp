#include "ui/SidebarStyle.h"

#include "ui/Theme.h"

#include <QLabel>

#include <QFontDatabase>
#include <QPainter>

#include <cmath>

namespace SidebarStyle {

QFont font(double px, QFont::Weight weight, bool mono, double letterSpacing)
{
    QFont f = mono ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
    if (px == std::floor(px)) f.setPixelSize(int(px));
    else f.setPointSizeF(px * 72.0 / 96.0);  // a half pixel size: points at the logical 96 dpi
    f.setWeight(weight);
    if (letterSpacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return f;
}

namespace {

// Symbolic icons come from the desktop's theme; where that theme lacks them (a bare session,
// the offscreen platform, which knows no theme and no icon folders), Adwaita fills in.
QIcon themed(const QString& name)
{
    static const bool ready = [] {
        QStringList paths = QIcon::themeSearchPaths();
        const QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
        for (const QString& dir : dataDirs.split(u':', Qt::SkipEmptyParts))
            if (!paths.contains(dir + QStringLiteral("/icons"))) paths << dir + QStringLiteral("/icons");
        QIcon::setThemeSearchPaths(paths);
        if (QIcon::themeName().isEmpty()) QIcon::setThemeName(QStringLiteral("Adwaita"));
        else if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)ready;
    return QIcon::fromTheme(name);
}

}  // namespace

QPixmap symbol(const QString& name, const QColor& color, double px, qreal devicePixelRatio)
{
    const QIcon icon = themed(name);
    if (icon.isNull()) return {};
    const int side = int(std::ceil(px * devicePixelRatio));
    QPixmap pixmap = icon.pixmap(QSize(side, side), 1.0);
    if (pixmap.isNull()) return {};
    if (pixmap.width() != side) pixmap = pixmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon symbolIcon(const QString& name, const QColor& color)
{
    QIcon icon;
    QColor faded = color;
    faded.setAlphaF(color.alphaF() * 0.4f);
    for (int px : {12, 16, 24, 32}) {
        icon.addPixmap(symbol(name, color, px, 1.0), QIcon::Normal);
        icon.addPixmap(symbol(name, faded, px, 1.0), QIcon::Disabled);
    }
    return icon;
}

QLabel* secondaryLabel(const QString& text, const QFont& font, QWidget* parent, double opacity)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Theme::withAlpha(Theme::secondary(), opacity));
    label->setPalette(pal);
    return label;
}

QWidget* divider(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette black = line->palette();
    black.setColor(QPalette::Window, Qt::black);
    line->setPalette(black);
    return line;
}

}  // namespace SidebarStyle
