// One full paint of the pairing workspace as the window shows it: twelve remembered fronts on
// the previous 75-dpi overview, twelve backs on the new bed, every link shown (twelve cords)
// and the pointer over a previous photo. The workspace and all its layers are painted into an
// image of the window's size. The embedded bed itself is not part of this measurement.
//
// BM_PairingWorkspacePaint is a redraw with nothing changed (the previous scan and the cords
// come from their layers); BM_PairingWorkspacePaintAfterHover moves the pointer onto another
// previous photo first, so the previous scan and the cords are drawn anew (one cord emphatic);
// BM_PairingWorkspacePaintResized alternates two sizes, so every paint also lays the workspace
// out again and scales the previous overview and its shadow anew.

#include "bench/support/PreparedEngine.h"
#include "core/AppModel.h"
#include "tests/support/BedPainter.h"
#include "ui/ConnectorsView.h"
#include "ui/PairingGeometry.h"
#include "ui/PairingWorkspace.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr QSizeF bed(8.5, 11.7);

QPointF spot(int i) { return QPointF(1.4 + (i % 3) * 2.85, 1.2 + (i / 3) * 2.85); }

struct Scene {
    QTemporaryDir root;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<PairingWorkspace> workspace;

    Scene()
    {
        auto engine = std::make_unique<PreparedEngine>();
        engine->info.bedSizeInches = bed;
        AppModelOptions options;
        options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
        options.preferences->setBoolean(Preferences::showAllLinksKey, true);
        options.outputDir = root.filePath("out");
        model = std::make_unique<AppModel>(std::move(engine), options);

        BedPainter::Scene fronts;
        BedPainter::Scene backs;
        std::vector<ScanRecord> history;
        std::vector<ScanRegion> regions;
        for (int i = 0; i < 12; ++i) {
            ScanRecord r;
            r.base = AppModel::numberedStem("scan", 101 + i);
            r.center = spot(i);
            r.size = QSizeF(2.5, 2.4);
            r.angle = 0.02 * (i % 5 - 2);
            r.session = 3;
            history.push_back(r);
            fronts.prints.push_back(BedPainter::print(r.center, r.size, r.angle, QColor(60, 90, 120), QColor(160, 110, 70)));
            ScanRegion b;
            b.name = QString("Region %1").arg(i + 1);
            b.center = spot(i) + QPointF(0.05, -0.05);
            b.size = r.size;
            b.angle = -r.angle;
            b.back = BackTarget::automatic();
            regions.push_back(b);
            backs.prints.push_back(BedPainter::print(b.center, b.size, b.angle, QColor(240, 236, 222), QColor(234, 229, 212)));
        }
        model->setHistory(history);
        model->setPrevOverview(BedPainter::paint(fronts));
        model->setPrevBedSize(bed);
        model->setInfo(engine_info());
        model->setOverview(BedPainter::paint(backs));
        model->setRegions(regions);

        workspace = std::make_unique<PairingWorkspace>(*model);
        workspace->resize(1280, 760);
        workspace->show();
        QApplication::processEvents();
        workspace->setPlan(model->plannedStems());
        reportBacks();
    }

    static ScannerInfo engine_info()
    {
        ScannerInfo info;
        info.name = "Bench";
        info.bedSizeInches = bed;
        return info;
    }

    // The frames the embedded bed reports: each back's rectangle fitted into the right half.
    void reportBacks()
    {
        QApplication::processEvents();
        const QRectF half(workspace->width() / 2.0 + 1, 60, workspace->width() / 2.0 - 1, workspace->height() - 90);
        const QRectF fit = PairingGeometry::fitRect(bed, half.size()).translated(half.topLeft());
        PairFrames frames;
        for (const ScanRegion& r : model->regions())
            frames.push_back({r.id, PairingGeometry::shapePolygon(r.center, r.size, r.angle, fit, bed),
                              PairingGeometry::mapBedPoint(r.center, fit, bed)});
        workspace->setCurrentFrames(frames);
    }

    std::size_t cords() const
    {
        for (QWidget* w : workspace->findChildren<QWidget*>())
            if (auto* c = dynamic_cast<ConnectorsView*>(w)) return c->connectors().size();
        return 0;
    }
};

// Made on first use and destroyed before the application object.
std::unique_ptr<Scene> theScene;

Scene& scene()
{
    if (!theScene) theScene = std::make_unique<Scene>();
    return *theScene;
}

void paintOnce(PairingWorkspace& w, QImage& image)
{
    image.fill(Qt::transparent);
    w.render(&image);
}

void BM_PairingWorkspacePaint(benchmark::State& state)
{
    Scene& s = scene();
    QImage image(s.workspace->size(), QImage::Format_ARGB32_Premultiplied);
    paintOnce(*s.workspace, image);
    for (auto _ : state) paintOnce(*s.workspace, image);
    state.counters["cords"] = double(s.cords());
}
BENCHMARK(BM_PairingWorkspacePaint)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_PairingWorkspacePaintResized(benchmark::State& state)
{
    Scene& s = scene();
    bool wide = false;
    for (auto _ : state) {
        wide = !wide;
        s.workspace->resize(wide ? 1300 : 1280, 760);
        s.reportBacks();
        QImage image(s.workspace->size(), QImage::Format_ARGB32_Premultiplied);
        paintOnce(*s.workspace, image);
    }
    s.workspace->resize(1280, 760);
    s.reportBacks();
}
BENCHMARK(BM_PairingWorkspacePaintResized)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PairingWorkspacePaintAfterHover(benchmark::State& state)
{
    Scene& s = scene();
    PreviousBedView* previous = s.workspace->findChild<PreviousBedView*>();
    const QPointF origin(previous->mapTo(s.workspace.get(), QPoint(0, 0)));
    QImage image(s.workspace->size(), QImage::Format_ARGB32_Premultiplied);
    int i = 0;
    for (auto _ : state) {
        const QPointF at = s.workspace->prevFrames()[std::size_t(i++ % 12)].center - origin;
        QMouseEvent move(QEvent::MouseMove, at, previous->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(previous, &move);
        paintOnce(*s.workspace, image);
    }
}
BENCHMARK(BM_PairingWorkspacePaintAfterHover)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::fprintf(stderr, "cords shown: %zu\n", scene().cords());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theScene.reset();
    return 0;
}
