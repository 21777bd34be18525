// bivara-detect: runs photo detection on overview images and prints the regions as JSON.
// With --backs it looks for handwriting instead: regions named "Note", or "Photo" where an
// image carries no writing.
//
//   bivara-detect [--bed W×H] [--backs] [--core] [--debug DIR] IMAGE...
//
// --core runs the flood-and-fit core alone, without the stages that snap
// edges, recover white borders and split touching prints, so the two can be compared.
//
// Standard output: one JSON array, one object per image in the order given:
//   {"image": "<path as given>", "ms": <detection time>, "regions": [{"center": [x, y],
//    "size": [w, h], "angle": a, "name": "Photo"}, ...]}
// An image that cannot be read gets {"image": …, "error": …} instead, a message on standard
// error, and makes the exit status 1. Wrong usage exits with 2.

#include "analysis/AutoDetect.h"
#include "analysis/BackTextDetect.h"
#include "tools/ToolArguments.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include <cmath>
#include <cstdio>
#include <optional>
#include <span>

namespace {

constexpr QSizeF defaultBed(8.5, 11.7);

void say(const QString& text) { std::fprintf(stderr, "bivara-detect: %s\n", qPrintable(text)); }

int usage(const QString& problem)
{
    say(problem);
    std::fprintf(stderr, "usage: bivara-detect [--bed W×H] [--backs] [--core] [--debug DIR] IMAGE...\n");
    return 2;
}

// "8.5×11.7" or "8.5x11.7", both sides positive.
std::optional<QSizeF> parseBed(const QString& text)
{
    QString t = text;
    t.replace(QChar(0x00D7), QLatin1Char('x')).replace(QLatin1Char('X'), QLatin1Char('x'));
    const QStringList parts = t.split(QLatin1Char('x'));
    if (parts.size() != 2) return std::nullopt;
    bool okW = false, okH = false;
    const double w = parts[0].trimmed().toDouble(&okW);
    const double h = parts[1].trimmed().toDouble(&okH);
    if (!okW || !okH || !(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) return std::nullopt;
    return QSizeF(w, h);
}

QJsonArray pair(double a, double b) { return QJsonArray{a, b}; }

// Writes each mask the detector shows as DIR/<image stem>-<label>.png, numbering repeats.
class MaskWriter {
public:
    explicit MaskWriter(QString dir) : dir_(std::move(dir)) {}

    void startImage(const QString& path)
    {
        stem_ = QFileInfo(path).completeBaseName();
        seen_.clear();
    }

    void write(std::span<const std::uint8_t> mask, int width, int height, std::string_view label)
    {
        if (width <= 0 || height <= 0 || mask.size() < size_t(width) * size_t(height)) return;
        QImage image(width, height, QImage::Format_Grayscale8);
        if (image.isNull()) return;
        for (int y = 0; y < height; ++y)
            std::copy_n(mask.data() + size_t(y) * width, width, image.scanLine(y));
        const QString name = QString::fromUtf8(label.data(), qsizetype(label.size()));
        const int n = ++seen_[name];
        const QString file = QDir(dir_).filePath(
            n == 1 ? QStringLiteral("%1-%2.png").arg(stem_, name) : QStringLiteral("%1-%2-%3.png").arg(stem_, name).arg(n));
        if (!image.save(file, "PNG")) say(QStringLiteral("cannot write %1").arg(file));
    }

private:
    QString dir_;
    QString stem_;
    QMap<QString, int> seen_;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs photo detection on overview images and prints the regions as JSON."));
    const QCommandLineOption bedOption(QStringLiteral("bed"), QStringLiteral("The bed's size in inches, such as 8.5×11.7."),
                                       QStringLiteral("W×H"));
    const QCommandLineOption backsOption(QStringLiteral("backs"), QStringLiteral("Look for handwriting on backs instead."));
    const QCommandLineOption coreOption(
        QStringLiteral("core"), QStringLiteral("Run the flood-and-fit core alone, without the refining stages."));
    const QCommandLineOption debugOption(QStringLiteral("debug"), QStringLiteral("Write the detector's masks here."),
                                         QStringLiteral("DIR"));
    parser.addOptions({bedOption, backsOption, coreOption, debugOption});
    parser.addPositionalArgument(QStringLiteral("IMAGE"), QStringLiteral("Overview images."), QStringLiteral("IMAGE..."));
    const ToolArguments::Parsed parsed = ToolArguments::parse(parser);
    switch (parsed.outcome) {
    case ToolArguments::Outcome::ok: break;
    case ToolArguments::Outcome::answered: return 0;
    case ToolArguments::Outcome::missingValue:
        return usage(parsed.argument == QLatin1String("--debug") ? QStringLiteral("--debug needs a folder")
                                                                  : QStringLiteral("--bed needs a size such as 8.5×11.7"));
    case ToolArguments::Outcome::unknownOption: return usage(QStringLiteral("unknown option %1").arg(parsed.argument));
    case ToolArguments::Outcome::malformed: return usage(parsed.argument);
    }

    QSizeF bed = defaultBed;
    if (parser.isSet(bedOption)) {
        const QString value = parser.value(bedOption);
        const std::optional<QSizeF> parsedBed = parseBed(value);
        if (!parsedBed) return usage(QStringLiteral("bad bed size \"%1\"").arg(value));
        bed = *parsedBed;
    }
    const bool backs = parser.isSet(backsOption);
    const bool core = parser.isSet(coreOption);
    std::optional<QString> debugDir;
    if (parser.isSet(debugOption)) debugDir = parser.value(debugOption);
    const QStringList images = parser.positionalArguments();
    if (images.isEmpty()) return usage(QStringLiteral("no image given"));

    std::optional<MaskWriter> writer;
    if (debugDir) {
        if (!QDir().mkpath(*debugDir)) {
            say(QStringLiteral("cannot create %1").arg(*debugDir));
            return 2;
        }
        writer.emplace(*debugDir);
        AutoDetect::setDebugHook([&writer](std::span<const std::uint8_t> mask, int w, int h, std::string_view label) {
            writer->write(mask, w, h, label);
        });
    }

    int status = 0;
    QJsonArray out;
    for (const QString& path : images) {
        QImageReader reader(path);
        const QImage image = reader.read();
        if (image.isNull()) {
            const QString why = reader.errorString();
            say(QStringLiteral("cannot read %1: %2").arg(path, why));
            out.append(QJsonObject{{"image", path}, {"error", why}});
            status = 1;
            continue;
        }
        if (writer) writer->startImage(path);
        QElapsedTimer timer;
        timer.start();
        const std::vector<ScanRegion> regions =
            backs ? AutoDetect::detectBackText(image, bed)
            : core        ? AutoDetect::detectCore(image, bed)
                          : AutoDetect::detect(image, bed);
        const double ms = double(timer.nsecsElapsed()) / 1e6;

        QJsonArray list;
        for (const ScanRegion& r : regions) {
            list.append(QJsonObject{{"center", pair(r.center.x(), r.center.y())},
                                    {"size", pair(r.size.width(), r.size.height())},
                                    {"angle", r.angle},
                                    {"name", r.name}});
        }
        out.append(QJsonObject{{"image", path}, {"ms", ms}, {"regions", list}});
    }
    if (debugDir) AutoDetect::setDebugHook({});
    const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return status;
}
