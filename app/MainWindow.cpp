#include "app/MainWindow.h"

#include "app/SelectedRegionDeleteMonitor.h"

#include <QCloseEvent>
#include <QMenuBar>

MainWindow::MainWindow(std::unique_ptr<AppModel> appModel, QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Bivara Scanner"));
    content_ = new ContentView(std::move(appModel), this);
    setCentralWidget(content_);
    setMinimumSize(smallestSize);
    resize(openingSize);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    quit_ = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    // The desktop's own Quit keys; Ctrl+Q where the platform names none.
    const QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    quit_->setShortcuts(quitKeys.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Q)} : quitKeys);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    delete_ = edit->addAction(QStringLiteral("&Delete"), this, [this] {
        if (const auto id = model().selectedID()) model().removeRegion(*id);
    });
    delete_->setShortcut(QKeySequence::Delete);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (std::exchange(shown_, true)) return;
    // The keys start with the bed, not in the first text field.
    if (QWidget* capture = content_->keyMonitor()->captureView()) capture->setFocus(Qt::OtherFocusReason);
    model().warmUp();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    model().flushPendingSaves();
    event->accept();
}
