#include "ui/SavedFilesArea.h"

#include "ui/SavedThumbnail.h"
#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

SavedFilesArea::SavedFilesArea(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(SidebarStyle::divider(this));

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("savedScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setAutoFillBackground(true);
    QPalette canvas = content->palette();
    canvas.setColor(QPalette::Window, Theme::canvas());
    content->setPalette(canvas);
    scroll_->viewport()->setPalette(canvas);
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(14, 14, 14, 14);
    sections->setSpacing(16);
    lastSaved_ = makeSection(QStringLiteral("LAST SAVE"), QStringLiteral("lastSave"), content);
    history_ = makeSection(QStringLiteral("HISTORY"), QStringLiteral("history"), content);
    sections->addWidget(lastSaved_.box);
    sections->addWidget(history_.box);
    sections->addStretch(1);
    scroll_->setWidget(content);
    column->addWidget(scroll_);
}

SavedFilesArea::Section SavedFilesArea::makeSection(const QString& title, const QString& objectName, QWidget* parent)
{
    Section s;
    s.box = new QWidget(parent);
    s.box->setObjectName(objectName);
    auto* column = new QVBoxLayout(s.box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(SidebarStyle::secondaryLabel(title, SidebarStyle::font(10, QFont::Bold, true, 1.5), s.box));
    s.grid = new QGridLayout;
    s.grid->setHorizontalSpacing(10);
    s.grid->setVerticalSpacing(12);
    s.grid->setColumnStretch(0, 1);
    s.grid->setColumnStretch(1, 1);
    column->addLayout(s.grid);
    s.box->hide();
    return s;
}

void SavedFilesArea::setFiles(const std::vector<QString>& lastSaved, const std::vector<QString>& history)
{
    QHash<QString, SavedThumbnail*> spare;
    for (Section* s : {&lastSaved_, &history_}) {
        for (SavedThumbnail* t : s->items) {
            s->grid->removeWidget(t);
            if (spare.contains(t->path())) delete t;  // a file listed twice keeps one picture
            else spare.insert(t->path(), t);
        }
        s->items.clear();
    }
    fill(lastSaved_, lastSaved, spare);
    fill(history_, history, spare);
    for (SavedThumbnail* t : spare) delete t;
    lastSavedCount_ = int(lastSaved.size());
    historyCount_ = int(history.size());
}

void SavedFilesArea::fill(Section& section, const std::vector<QString>& files, QHash<QString, SavedThumbnail*>& spare)
{
    for (const QString& file : files) {
        SavedThumbnail* t = spare.take(file);
        if (!t) t = new SavedThumbnail(file, section.box);
        else if (t->parentWidget() != section.box) t->setParent(section.box);
        const int i = int(section.items.size());
        section.grid->addWidget(t, i / 2, i % 2);
        t->show();
        section.items.push_back(t);
    }
    section.box->setVisible(!files.empty());
}

void SavedFilesArea::setAreaHeight(int height) { scroll_->setFixedHeight(std::max(0, height)); }

std::vector<SavedThumbnail*> SavedFilesArea::thumbnails() const
{
    std::vector<SavedThumbnail*> all = lastSaved_.items;
    all.insert(all.end(), history_.items.begin(), history_.items.end());
    return all;
}
