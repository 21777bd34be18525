#include "ui/SavedThumbnail.h"

#include "analysis/ImageUtil.h"
#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>
#include <QtConcurrent>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int pictureHeight = 84, captionGap = 6, radius = 6, inset = 3;

}  // namespace

QThreadPool& SavedThumbnail::decodePool()
{
    static QThreadPool pool;
    return pool;
}

SavedThumbnail::SavedThumbnail(const QString& path, QWidget* parent) : QWidget(parent)
{
    setFont(SidebarStyle::font(9.5));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPath(path);
}

void SavedThumbnail::setPath(const QString& path)
{
    if (path == path_ && (loaded_ || watcher_)) return;
    path_ = path;
    image_ = QImage();
    scaled_ = QPixmap();
    loaded_ = false;
    watcher_.reset();  // a decode still running for the old file finishes unseen
    const QString name = QFileInfo(path).fileName();
    setToolTip(QStringLiteral("Open ") + name);
    setAccessibleName(QStringLiteral("Open ") + name);
    if (isVisible()) startLoading();
    update();
}

void SavedThumbnail::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!loaded_ && !watcher_) startLoading();
}

void SavedThumbnail::startLoading()
{
    watcher_ = std::make_unique<QFutureWatcher<QImage>>();
    QFutureWatcher<QImage>* watcher = watcher_.get();
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher] {
        if (watcher != watcher_.get()) return;
        image_ = watcher->result();
        loaded_ = true;
        killTimer(spinnerTimer_);
        spinnerTimer_ = 0;
        watcher_.release()->deleteLater();
        update();
        emit finishedLoading();
    });
    watcher->setFuture(QtConcurrent::run(&decodePool(), [path = path_] {
        // Below the main thread, so that decoding a batch never makes the window late.
        static thread_local const int niced = setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 8);
        (void)niced;
        return ImageUtil::thumbnail(path, maxPixel);
    }));
    if (!spinnerTimer_) spinnerTimer_ = startTimer(80);
}

void SavedThumbnail::timerEvent(QTimerEvent*)
{
    spinnerStep_ = (spinnerStep_ + 1) % 8;
    update(0, 0, width(), pictureHeight);
}

QSize SavedThumbnail::sizeHint() const
{
    return QSize(100, pictureHeight + captionGap + QFontMetrics(font()).height() + 3);  // room for an underscore
}

void SavedThumbnail::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, 0.5, width() - 1, pictureHeight - 1);
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    p.fillPath(shape, Theme::canvas());

    const QRectF inner = box.adjusted(inset, inset, -inset, -inset);
    if (!image_.isNull()) {
        const qreal dpr = devicePixelRatioF();
        const QSize target = image_.size().scaled(inner.size().toSize() * dpr, Qt::KeepAspectRatio);
        if (scaled_.isNull() || scaled_.size() != target) {
            scaled_ = QPixmap::fromImage(image_.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            scaled_.setDevicePixelRatio(dpr);
        }
        const QSizeF shown = QSizeF(scaled_.size()) / dpr;
        p.save();
        p.setClipPath(shape);
        p.drawPixmap(QPointF(inner.center().x() - shown.width() / 2, inner.center().y() - shown.height() / 2), scaled_);
        p.restore();
    } else if (loaded_) {
        const QPixmap icon = SidebarStyle::symbol(QStringLiteral("image-x-generic-symbolic"),
                                                  Theme::withAlpha(Theme::secondary(), 0.4), 18, devicePixelRatioF());
        p.drawPixmap(QPointF(box.center().x() - 9, box.center().y() - 9), icon);
    } else {  // a small spinner while decoding
        const QPointF c = box.center();
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            const double alpha = 0.15 + 0.6 * ((i - spinnerStep_ + 8) % 8) / 7.0;
            p.setPen(QPen(Theme::withAlpha(Theme::secondary(), alpha), 1.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(c + QPointF(std::cos(a), std::sin(a)) * 3.5, c + QPointF(std::cos(a), std::sin(a)) * 7);
        }
    }
    p.setPen(QPen(Theme::withAlpha(Qt::white, 0.08), 1));
    p.drawPath(shape);

    p.setPen(Theme::secondary());
    const QRect caption(0, pictureHeight + captionGap, width(), height() - pictureHeight - captionGap);
    p.drawText(caption, Qt::AlignLeft | Qt::AlignTop,
               fontMetrics().elidedText(QFileInfo(path_).fileName(), Qt::ElideMiddle, width()));
}

void SavedThumbnail::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(QUrl::fromLocalFile(path_));
}
