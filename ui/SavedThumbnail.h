#pragma once

// One saved file in the sidebar: a small picture of it and its name. The picture is decoded
// away from the main thread; a result for a file this view no longer shows, or for a view
// that is gone, is dropped. Clicking opens the file in the desktop's default application.

#include <QFutureWatcher>
#include <QImage>
#include <QPixmap>
#include <QThreadPool>
#include <QWidget>

#include <memory>

class SavedThumbnail : public QWidget {
    Q_OBJECT

public:
    static constexpr int maxPixel = 320;

    explicit SavedThumbnail(const QString& path, QWidget* parent = nullptr);

    // The threads that decode thumbnails, apart from Qt's global pool: Qt's painting splits
    // large fills over that pool and waits for them, so decodes queued there would stall it.
    static QThreadPool& decodePool();

    const QString& path() const { return path_; }
    // Shows another file: the picture starts over.
    void setPath(const QString& path);

    bool loaded() const { return loaded_; }
    const QImage& image() const { return image_; }

    QSize sizeHint() const override;

signals:
    // The picture has been decoded (or found undecodable) for the current file.
    void finishedLoading();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void startLoading();

    QString path_;
    QImage image_;
    QPixmap scaled_;  // image_ as last painted, at the picture box's size
    bool loaded_ = false;
    std::unique_ptr<QFutureWatcher<QImage>> watcher_;
    int spinnerStep_ = 0;
    int spinnerTimer_ = 0;

    void timerEvent(QTimerEvent* event) override;
};
