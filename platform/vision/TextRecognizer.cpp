#include "platform/vision/TextRecognizer.h"

#include <QtConcurrent/QtConcurrent>
#include <QThreadPool>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace Vision {
namespace {

// Tesseract spreads its network over OpenMP threads. On a small machine those threads fight
// each other (and the other orientations read at the same time) and make a reading about three
// times slower, so every reading runs on the thread that asks for it.
//
// The OpenMP runtime reads OMP_THREAD_LIMIT when it is loaded, which happens with Tesseract's
// library at process start, so setting it here only reaches runtimes started later. What
// holds in every case is the calling thread's own limit on active parallel levels: at zero,
// each parallel region Tesseract opens on this thread runs on this thread alone.
void keepToOneThread()
{
    static std::once_flag environment;
    std::call_once(environment, [] { ::setenv("OMP_THREAD_LIMIT", "1", 0); });
    using SetLevels = void (*)(int);
    static const auto setMaxActiveLevels =
        reinterpret_cast<SetLevels>(::dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    if (setMaxActiveLevels) setMaxActiveLevels(0);
}

using Engine = std::unique_ptr<tesseract::TessBaseAPI>;

// Started recognizers waiting for their next picture. Starting one loads the English model,
// which costs far more than a reading, so they are kept for the life of the process.
class EngineCache {
public:
    static EngineCache& instance()
    {
        static EngineCache cache;
        return cache;
    }

    // An idle recognizer, or a newly started one; null when none can start.
    Engine take()
    {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                Engine engine = std::move(idle_.back());
                idle_.pop_back();
                return engine;
            }
            if (failed_) return nullptr;
        }
        Engine engine = start();
        if (!engine) {
            std::lock_guard lock(mutex_);
            failed_ = true;
        }
        return engine;
    }

    void give(Engine engine)
    {
        if (!engine) return;
        engine->Clear();
        std::lock_guard lock(mutex_);
        if (idle_.size() < maxIdle) idle_.push_back(std::move(engine));
    }

private:
    static constexpr size_t maxIdle = 4;

    static Engine start()
    {
        keepToOneThread();
        auto engine = std::make_unique<tesseract::TessBaseAPI>();
        // No word lists, nor the punctuation and number patterns: notes are names, dates and
        // places, and the lists would only bend what the network reads towards dictionary
        // words. Without lstm_use_matrix the network's decoder loads none of them (this
        // Tesseract never frees the ones it loads there, either).
        const std::vector<std::string> names = {"lstm_use_matrix", "load_system_dawg", "load_freq_dawg", "debug_file"};
        const std::vector<std::string> values = {"0", "0", "0", "/dev/null"};
        if (engine->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) != 0)
            return nullptr;
        engine->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
        return engine;
    }

    std::mutex mutex_;
    std::vector<Engine> idle_;
    bool failed_ = false;
};

// Borrows a recognizer for one reading.
class BorrowedEngine {
public:
    BorrowedEngine() : engine_(EngineCache::instance().take()) {}
    ~BorrowedEngine() { EngineCache::instance().give(std::move(engine_)); }
    BorrowedEngine(const BorrowedEngine&) = delete;
    BorrowedEngine& operator=(const BorrowedEngine&) = delete;
    tesseract::TessBaseAPI* get() const { return engine_.get(); }

private:
    Engine engine_;
};

cv::Mat grayMat(const QImage& image)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    cv::Mat view(gray.height(), gray.width(), CV_8UC1, const_cast<uchar*>(gray.constBits()),
                 size_t(gray.bytesPerLine()));
    return view.clone();
}

QImage toQImage(const cv::Mat& mat)
{
    QImage out(mat.cols, mat.rows, QImage::Format_Grayscale8);
    if (out.isNull()) return out;
    for (int y = 0; y < mat.rows; ++y) std::copy_n(mat.ptr<uchar>(y), mat.cols, out.scanLine(y));
    return out;
}

cv::Mat flattened(const cv::Mat& gray)
{
    const int shortSide = std::min(gray.cols, gray.rows);
    // Strokes are a few pixels wide: a small maximum filter lifts them out of the estimate of
    // the paper, and a wide blur leaves only its slow shading.
    const int lift = std::max(2, int(std::lround(shortSide * 0.004)));
    const double sigma = std::max(3.0, shortSide * 0.02);
    cv::Mat paper;
    cv::dilate(gray, paper, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * lift + 1, 2 * lift + 1)));
    cv::GaussianBlur(paper, paper, cv::Size(), sigma, sigma, cv::BORDER_REPLICATE);
    // A dark lid is not paper: dividing by it would only blow its noise up to white.
    cv::max(paper, cv::Scalar(96), paper);
    // Paper comes out at 255; the ink's darkness below it is tripled, so that faint pencil
    // stays on the dark side of the recognizer's own threshold.
    constexpr double gain = 3.0;
    cv::Mat ratio;
    cv::divide(gray, paper, ratio, 255.0, CV_32F);
    cv::Mat out;
    ratio.convertTo(out, CV_8U, gain, 255.0 * (1.0 - gain));
    return out;
}

// A line in pixels of the picture that was read, with its text height there.
struct PixelLine {
    cv::Rect2d box;
    double confidence = 0;
    QString text;
};

bool hasLetterOrDigit(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// One reading of `picture` (8-bit grey, continuous).
std::vector<PixelLine> readLines(const cv::Mat& picture)
{
    std::vector<PixelLine> lines;
    keepToOneThread();
    BorrowedEngine borrowed;
    tesseract::TessBaseAPI* api = borrowed.get();
    if (!api || picture.empty()) return lines;
    api->SetImage(picture.data, picture.cols, picture.rows, 1, int(picture.step));
    api->SetSourceResolution(300);
    if (api->Recognize(nullptr) != 0) return lines;
    std::unique_ptr<tesseract::ResultIterator> it(api->GetIterator());
    if (!it) return lines;
    constexpr auto level = tesseract::RIL_TEXTLINE;
    do {
        if (it->Empty(level)) continue;
        int left = 0, top = 0, right = 0, bottom = 0;
        if (!it->BoundingBox(level, &left, &top, &right, &bottom)) continue;
        const std::unique_ptr<char[]> utf8(it->GetUTF8Text(level));
        const QString text = QString::fromUtf8(utf8 ? utf8.get() : "").trimmed();
        // Specks and edges read as punctuation; a line needs at least one letter or digit.
        if (!hasLetterOrDigit(text)) continue;
        const double confidence = std::clamp(double(it->Confidence(level)) / 100.0, 0.0, 1.0);
        lines.push_back({cv::Rect2d(left, top, right - left, bottom - top), confidence, text});
    } while (it->Next(level));
    return lines;
}

// Quarter turns clockwise, and the way back from a turned picture's pixels to the upright
// picture's, which is `width` × `height`.
constexpr std::array<int, 4> turns = {0, 1, 2, 3};

cv::Mat turned(const cv::Mat& upright, int quarter)
{
    cv::Mat out;
    switch (quarter) {
    case 1: cv::rotate(upright, out, cv::ROTATE_90_CLOCKWISE); break;
    case 2: cv::rotate(upright, out, cv::ROTATE_180); break;
    case 3: cv::rotate(upright, out, cv::ROTATE_90_COUNTERCLOCKWISE); break;
    default: out = upright; break;
    }
    return out;
}

cv::Point2d backToUpright(cv::Point2d p, int quarter, double width, double height)
{
    switch (quarter) {
    case 1: return {p.y, height - p.x};
    case 2: return {width - p.x, height - p.y};
    case 3: return {width - p.y, p.x};
    default: return p;
    }
}

cv::Rect2d boxToUpright(const cv::Rect2d& box, int quarter, double width, double height)
{
    const cv::Point2d a = backToUpright(box.tl(), quarter, width, height);
    const cv::Point2d b = backToUpright(box.br(), quarter, width, height);
    return {cv::Point2d(std::min(a.x, b.x), std::min(a.y, b.y)), cv::Point2d(std::max(a.x, b.x), std::max(a.y, b.y))};
}

// Readings of the four orientations run side by side, on threads of their own so that a
// caller already on the global pool never waits for itself.
QThreadPool& readingPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        p->setExpiryTimeout(30000);
        return p;
    }();
    return *pool;
}

double overlapOfSmaller(const QRectF& a, const QRectF& b)
{
    const QRectF common = a.intersected(b);
    if (common.isEmpty()) return 0;
    const double smaller = std::min(a.width() * a.height(), b.width() * b.height());
    return smaller > 0 ? common.width() * common.height() / smaller : 0;
}

// How much a reading says: its confidence times the letters and digits it read. Writing read
// the right way up gives a whole line of them; read turned, it breaks into a few odd
// characters, some of them confidently wrong.
double evidence(const TextObservation& line)
{
    const auto count = std::count_if(line.text.begin(), line.text.end(), [](QChar c) { return c.isLetterOrNumber(); });
    return line.confidence * double(count);
}

}  // namespace

std::vector<TextObservation> mergeDuplicateLines(std::vector<TextObservation> lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const TextObservation& a, const TextObservation& b) {
        const double ea = evidence(a);
        const double eb = evidence(b);
        return ea != eb ? ea > eb : a.confidence > b.confidence;
    });
    std::vector<TextObservation> kept;
    for (TextObservation& line : lines) {
        const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const TextObservation& k) {
            return overlapOfSmaller(k.boundingBox, line.boundingBox) > 0.5;
        });
        if (!duplicate) kept.push_back(std::move(line));
    }
    return kept;
}

QImage flattenBackground(const QImage& image)
{
    if (image.isNull()) return {};
    return toQImage(flattened(grayMat(image)));
}

std::vector<TextObservation> recognizeText(const QImage& image, const TextRequest& request)
{
    if (image.isNull() || image.width() < 1 || image.height() < 1) return {};
    const double scale = std::isfinite(request.scale) ? std::clamp(request.scale, 0.25, 4.0) : 1.0;

    cv::Mat picture = grayMat(image);
    if (request.flattenBackground) picture = flattened(picture);
    if (scale != 1.0) {
        cv::Mat resized;
        cv::resize(picture, resized, cv::Size(), scale, scale, scale > 1 ? cv::INTER_CUBIC : cv::INTER_AREA);
        picture = resized;
    }
    const double scaledWidth = picture.cols;
    const double scaledHeight = picture.rows;
    const double minimumHeight = request.minimumTextHeight * scaledHeight;
    // Taller than a tenth of the picture is a patch of texture or a photo, not a line.
    const double maximumHeight = 0.1 * scaledHeight;

    const std::vector<int> quarters = request.allOrientations ? std::vector<int>(turns.begin(), turns.end())
                                                              : std::vector<int>{0};
    const std::function<std::vector<TextObservation>(const int&)> readTurned = [&](const int& quarter) {
        std::vector<TextObservation> found;
        for (const PixelLine& line : readLines(turned(picture, quarter))) {
            // The writing's own height is the box's height in the picture as it was read.
            if (line.box.height < minimumHeight || line.box.height > maximumHeight) continue;
            const cv::Rect2d box = boxToUpright(line.box, quarter, scaledWidth, scaledHeight);
            const double x = box.x / scaledWidth;
            const double w = box.width / scaledWidth;
            const double h = box.height / scaledHeight;
            const double y = 1.0 - (box.y + box.height) / scaledHeight;
            found.push_back({QRectF(x, y, w, h), line.confidence, line.text});
        }
        return found;
    };

    std::vector<TextObservation> pooled;
    if (quarters.size() == 1) {
        pooled = readTurned(quarters.front());
    } else {
        const QList<std::vector<TextObservation>> readings =
            QtConcurrent::blockingMapped<QList<std::vector<TextObservation>>>(&readingPool(), quarters, readTurned);
        for (const auto& reading : readings) pooled.insert(pooled.end(), reading.begin(), reading.end());
    }
    return mergeDuplicateLines(std::move(pooled));
}

bool textRecognizerAvailable()
{
    BorrowedEngine borrowed;
    return borrowed.get() != nullptr;
}

}  // namespace Vision
