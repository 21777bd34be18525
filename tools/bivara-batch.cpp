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
#include "tools/ToolArguments.h"

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

// The arguments, or nothing after a usage message (`status` 2) or --help/--version (`status` 0).
std::optional<Arguments> parse(int& status)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A headless scanning station: previews, auto-detects, scans and "
                                                    "saves, printing each status line."));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The output folder (required)."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption scanner(QStringLiteral("scanner"), QStringLiteral("The scanner to use."), QStringLiteral("ID"));
    const QCommandLineOption dpi(QStringLiteral("dpi"), QStringLiteral("The scan resolution."), QStringLiteral("N"));
    const QCommandLineOption color(QStringLiteral("color"), QStringLiteral("color, gray or blackWhite."),
                                   QStringLiteral("MODE"));
    const QCommandLineOption base(QStringLiteral("base"), QStringLiteral("The base of the fronts' names."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption suffix(QStringLiteral("suffix"), QStringLiteral("The suffix of the backs' names."),
                                    QStringLiteral("S"));
    const QCommandLineOption backs(QStringLiteral("backs"),
                                   QStringLiteral("Detect on the back side: notes are boxed and paired by position."));
    const QCommandLineOption wholeBacks(QStringLiteral("whole-backs"),
                                        QStringLiteral("Detect the prints and make each a back that pairs by position."));
    parser.addOptions({out, scanner, dpi, color, base, suffix, backs, wholeBacks});

    status = 2;
    const ToolArguments::Parsed parsed = ToolArguments::parse(parser);
    switch (parsed.outcome) {
    case ToolArguments::Outcome::ok: break;
    case ToolArguments::Outcome::answered: status = 0; return std::nullopt;
    case ToolArguments::Outcome::missingValue: usage(parsed.argument + " needs a value"); return std::nullopt;
    case ToolArguments::Outcome::unknownOption: usage("unknown argument " + parsed.argument); return std::nullopt;
    case ToolArguments::Outcome::malformed: usage(parsed.argument); return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        usage("unknown argument " + parser.positionalArguments().first());
        return std::nullopt;
    }

    Arguments a;
    a.out = parser.value(out);
    if (parser.isSet(scanner)) a.scanner = parser.value(scanner);
    if (parser.isSet(base)) a.base = parser.value(base);
    if (parser.isSet(suffix)) a.suffix = parser.value(suffix);
    a.backs = parser.isSet(backs);
    a.wholeBacks = parser.isSet(wholeBacks);
    if (parser.isSet(dpi)) {
        const QString v = parser.value(dpi);
        bool ok = false;
        const int n = v.toInt(&ok);
        if (!ok || n <= 0) {
            usage("bad resolution " + v);
            return std::nullopt;
        }
        a.dpi = n;
    }
    if (parser.isSet(color)) {
        const QString v = parser.value(color);
        const auto mode = colorModeFromText(v);
        if (!mode) {
            usage("bad colour mode " + v);
            return std::nullopt;
        }
        a.color = *mode;
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
    const auto arguments = parse(status);
    if (!arguments) return status;
    return SaneBackend::endProcess(run(*arguments));
}
