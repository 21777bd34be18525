#include "app/Appearance.h"

#include "ui/Theme.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QStyleFactory>

namespace Appearance {

QPalette palette()
{
    const QColor text(236, 236, 238);
    const QColor dimmed = Theme::secondary();
    QPalette p;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = group == QPalette::Disabled;
        p.setColor(group, QPalette::Window, Theme::bg());
        p.setColor(group, QPalette::WindowText, off ? dimmed.darker(140) : text);
        p.setColor(group, QPalette::Base, Theme::canvas());
        p.setColor(group, QPalette::AlternateBase, Theme::panel());
        p.setColor(group, QPalette::Text, off ? dimmed.darker(140) : text);
        p.setColor(group, QPalette::PlaceholderText, dimmed);
        p.setColor(group, QPalette::Button, Theme::panel().lighter(125));
        p.setColor(group, QPalette::ButtonText, off ? dimmed.darker(140) : text);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Highlight, off ? Theme::panel().lighter(150) : Theme::accent());
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::Link, Theme::accent());
        p.setColor(group, QPalette::LinkVisited, Theme::accent().darker(120));
        p.setColor(group, QPalette::ToolTipBase, Theme::panel());
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::Light, Theme::panel().lighter(160));
        p.setColor(group, QPalette::Midlight, Theme::panel().lighter(130));
        p.setColor(group, QPalette::Mid, Theme::panel().lighter(110));
        p.setColor(group, QPalette::Dark, Theme::bg().darker(150));
        p.setColor(group, QPalette::Shadow, Qt::black);
    }
    return p;
}

void apply(QApplication& app)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    app.setPalette(palette());
    // Named explicitly: without a desktop session Qt would otherwise find no theme at all.
    QIcon::setThemeName(QStringLiteral("breeze-dark"));
    QIcon::setFallbackThemeName(QStringLiteral("breeze"));
}

}  // namespace Appearance
