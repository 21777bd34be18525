// bivara-batch: a headless scanning station. It drives the application model exactly as the
// window does: waits for a scanner, previews, auto-detects, scans and saves, printing every
// status text on its own line as it changes, then the saved files, one per line.
//
//   bivara-batch --out DIR [--scanner ID] [--dpi N] [--color color|gray|blackWhite]
//                [--base NAME] [--suffix S] [--backs | --whole-backs]
//
//   --backs        detect on the back side, as the window does: notes are boxed and paired
//                  by position
//   --whole-backs  detect the prints and make each a back that pairs by position
//
// Exit status: 0 when the scan saved every region, 1 when a flow ended with a failure or a
// refusal, 2 for bad arguments. The user's own settings are never touched.

#include "core/AppModel.h"
#include "platform/files/ScratchFolder.h"
#include "platform/sane/SaneBackend.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

struct Arguments {
    QString out;
    std::optional<QString> scanner;
    std::optional<int> dpi;
    ColorMode color = ColorMode::color;
    std::optional<QString> base;
    std::optional<QString> suffix;
    bool backs = false;
    bool wholeBacks = false;
};

int usage(const QString& problem)
{
    std::fprintf(stderr, "bivara-batch: %s\n", qPrintable(problem));
    std::fprintf(stderr, "usage: bivara-batch --out DIR [--scanner ID] [--dpi N] [--color color|gray|blackWhite] "
                         "[--base NAME] [--suffix S] [--backs | --whole-backs]\n");
    return 2;
}

std::optional<Arguments> parse(const QStringList& args, int& status)
{
    Arguments a;
    status = 2;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        std::optional<QString> v;
        if (arg == "--backs") a.backs = true;
        else if (arg == "--whole-backs") a.wholeBacks = true;
        else if (arg == "--out" || arg == "--scanner" || arg == "--dpi" || arg == "--color" || arg == "--base" ||
                 arg == "--suffix") {
            v = value();
            if (!v) {
                usage(arg + " needs a value");
                return std::nullopt;
            }
            if (arg == "--out") a.out = *v;
            else if (arg == "--scanner") a.scanner = *v;
            else if (arg == "--base") a.base = *v;
            else if (arg == "--suffix") a.suffix = *v;
            else if (arg == "--dpi") {
                bool ok = false;
                const int dpi = v->toInt(&ok);
                if (!ok || dpi <= 0) {
                    usage("bad resolution " + *v);
                    return std::nullopt;
                }
                a.dpi = dpi;
            } else {
                const auto mode = colorModeFromText(*v);
                if (!mode) {
                    usage("bad colour mode " + *v);
                    return std::nullopt;
                }
                a.color = *mode;
            }
        } else {
            usage("unknown argument " + arg);
            return std::nullopt;
        }
    }
    if (a.out.isEmpty()) {
        usage("--out is required");
        return std::nullopt;
    }
    if (a.backs && a.wholeBacks) {
        usage("--backs and --whole-backs exclude each other");
        return std::nullopt;
    }
    status = 0;
    return a;
}

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Runs the event loop until `done` holds or `limit` passes.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(10);
    while (!done()) {
        if (clock.elapsed() > limit.count()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool failed(const QString& status)
{
    static const char* const endings[] = {"Preview failed: ", "Scan failed: ", "Scanner is already busy.",
                                          "Press Preview first.", "Draw or auto-detect at least one region.",
                                          "Regions are off the bed.", "Couldn't load master scan."};
    for (const char* e : endings)
        if (status.startsWith(QString::fromUtf8(e))) return true;
    return false;
}

int run(const Arguments& a)
{
    // A store of its own, in the process's scratch folder: the user's preferences stay as
    // they are, and a killed run leaves nothing that the next start-up does not remove.
    AppModelOptions options;
    options.preferences = std::make_shared<Preferences>(QDir(ScratchFolder::path()).filePath("bivara-batch.ini"));
    options.outputDir = a.out;
    AppModel model(std::move(options));
    QObject::connect(&model, &AppModel::changed, &model, [&model](AppModel::Property p) {
        if (p == AppModel::Property::status) say(model.status());
    });
    // Another process works in this folder: refuse before the scanner is used.
    if (model.status() == AppModel::folderInUseText) {
        say(model.status());
        return 1;
    }
    model.setColorMode(a.color);
    if (a.base) model.setBaseName(*a.base);
    if (a.suffix) model.setBackSuffix(*a.suffix);

    if (a.scanner) {
        const auto listed = [&] {
            for (const auto& c : model.scanners())
                if (c.id == *a.scanner) return true;
            return false;
        };
        if (!waitUntil(listed, std::chrono::seconds(20))) {
            std::fprintf(stderr, "bivara-batch: no scanner %s\n", qPrintable(*a.scanner));
            return 1;
        }
        model.switchScanner(*a.scanner);
        waitUntil([&] { return model.activeScannerID() == *a.scanner; }, std::chrono::seconds(5));
    }

    QCoro::waitFor(model.preview());
    if (failed(model.status())) return 1;
    if (a.dpi) {
        model.setDpi(*a.dpi);
        model.clampDPIToOptions();
    }

    model.setDrawSide(a.backs ? DrawSide::back : DrawSide::front);
    QCoro::waitFor(model.autoDetect());
    if (failed(model.status())) return 1;
    if (a.wholeBacks)
        for (const ScanRegion& r : model.regions()) model.setBack(r.id, BackTarget::automatic());

    QCoro::waitFor(model.scanSelected());
    for (const QString& file : model.lastSaved()) say(file);
    return model.status().startsWith(QStringLiteral("✅")) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int status = 0;
    const auto arguments = parse(QCoreApplication::arguments().mid(1), status);
    if (!arguments) return status;
    return SaneBackend::endProcess(run(*arguments));
}
