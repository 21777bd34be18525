#include "app/WindowProbe.h"

#include "app/MainWindow.h"
#include "app/ScannerChip.h"
#include "app/StallProbe.h"
#include "app/Toolbar.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

class FirstPaint : public QObject {
public:
    explicit FirstPaint(MainWindow& window) : QObject(&window), window_(window) {}

protected:
    // Watches every widget: the window's own background may never be painted when its
    // children cover it whole.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || done_) return false;
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != &window_) return false;
        done_ = true;
        // Reported once the whole paint pass has finished and reached the screen.
        QTimer::singleShot(0, this, [this] {
            std::printf("first paint, scanner %s\n", window_.model().info() ? "open" : "searching");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
        return false;
    }

private:
    MainWindow& window_;
    bool done_ = false;
};

void saveScreenshot(MainWindow& window, const QString& file, bool scannerOpen)
{
    window.repaint();
    QPixmap shot;
    if (QScreen* screen = window.screen()) shot = screen->grabWindow(window.winId());
    if (shot.isNull()) shot = window.grab();  // a platform without screen grabs
    const bool saved = shot.save(file, "PNG");
    std::printf("screenshot: %s\nscanner: %s\nstatus: %s\n", saved ? qPrintable(file) : "not saved",
                qPrintable(ScannerChip::label(window.model())), qPrintable(window.model().status()));
    std::fflush(stdout);
    window.close();
    QCoreApplication::exit(saved && scannerOpen ? 0 : 1);
}

// Stops the stall probe when the window starts closing: what quitting costs is not a stall the
// user sits through with the window in front of them.
class StopOnClose : public QObject {
public:
    StopOnClose(StallProbe& probe, QObject* parent) : QObject(parent), probe_(probe) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close) probe_.stop();
        return false;
    }

private:
    StallProbe& probe_;
};

}  // namespace

void installWindowProbes(MainWindow& window)
{
    if (qEnvironmentVariableIsSet("BIVARA_PROBE_STALLS")) {
        auto* probe = new StallProbe(qApp);
        window.installEventFilter(new StopOnClose(*probe, probe));
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, probe, [probe] {
            probe->stop();
            std::printf("largest main-thread stall: %.1f ms, ending %.1f s after start, with the window open %.1f s\n",
                        probe->worstMs(), probe->worstAtSeconds(), probe->elapsedSeconds());
            std::fflush(stdout);
        });
    }

    if (qEnvironmentVariableIsSet("BIVARA_REPORT_FIRST_PAINT"))
        qApp->installEventFilter(new FirstPaint(window));

    const QString file = qEnvironmentVariable("BIVARA_SCREENSHOT");
    if (file.isEmpty()) return;
    QPointer<MainWindow> w(&window);
    auto* giveUp = new QTimer(&window);
    giveUp->setSingleShot(true);
    QObject::connect(giveUp, &QTimer::timeout, &window, [w, file] { saveScreenshot(*w, file, false); });
    giveUp->start(std::chrono::minutes(1));
    // Taken once the scanner is open and has said so: its information is in, and the status is
    // the ready line (on a busy machine that can come a while after the information).
    QObject::connect(&window.model(), &AppModel::changed, &window, [w, file, giveUp](AppModel::Property p) {
        if (p != AppModel::Property::info && p != AppModel::Property::status) return;
        const AppModel& model = w->model();
        if (!giveUp->isActive() || !model.info() || !model.status().startsWith(QLatin1String("Scanner ready"))) return;
        giveUp->stop();
        // A moment for the toolbar to show the scanner before the picture is taken.
        QTimer::singleShot(500, w, [w, file] { saveScreenshot(*w, file, true); });
    });
}
