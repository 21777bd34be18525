#pragma once

// The files of the latest scan ("LAST SAVE") and the newest remembered fronts ("HISTORY"),
// as two grids of thumbnails in a scrolling column. A thumbnail stays with its file when
// the lists change, so a picture already decoded is not decoded again.

#include <QHash>
#include <QWidget>

#include <vector>

class QGridLayout;
class QLabel;
class QScrollArea;
class SavedThumbnail;

class SavedFilesArea : public QWidget {
    Q_OBJECT

public:
    explicit SavedFilesArea(QWidget* parent = nullptr);

    void setFiles(const std::vector<QString>& lastSaved, const std::vector<QString>& history);
    bool isEmpty() const { return lastSavedCount_ == 0 && historyCount_ == 0; }
    int lastSavedCount() const { return lastSavedCount_; }
    int historyCount() const { return historyCount_; }
    // The height of the scrolling column (the divider above it adds one).
    void setAreaHeight(int height);

    std::vector<SavedThumbnail*> thumbnails() const;

private:
    struct Section {
        QWidget* box;
        QGridLayout* grid;
        std::vector<SavedThumbnail*> items;
    };
    Section makeSection(const QString& title, const QString& objectName, QWidget* parent);
    void fill(Section& section, const std::vector<QString>& files, QHash<QString, SavedThumbnail*>& spare);

    QScrollArea* scroll_;
    Section lastSaved_;
    Section history_;
    int lastSavedCount_ = 0;
    int historyCount_ = 0;
};
