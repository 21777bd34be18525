// The text recognizer on painted pictures of writing whose place is known. Recognition itself
// is Tesseract's: the tests check where lines are reported, not what confidence they get.

#include "platform/vision/TextRecognizer.h"

#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QtConcurrent/QtConcurrent>

#include "support/Handwriting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using Vision::TextObservation;

namespace {

constexpr int imageW = 638;   // a 75-dpi overview of an 8.5 × 11.7 inch bed
constexpr int imageH = 878;


struct Writing {
    QString text = QStringLiteral("Grandma and Tom, Lake Erie");
    QPointF at{120, 200};      // pixels, the start of the baseline before turning
    double degrees = 0;        // clockwise on screen
    int pixelSize = 22;
    QColor ink{30, 40, 120};
};

// Paints the writing on `image` and returns the upright pixel box around its ink.
QRectF paintWriting(QImage& image, const Writing& w)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(handwritingFamily());
    font.setPixelSize(w.pixelSize);
    p.setFont(font);
    p.setPen(w.ink);
    p.translate(w.at);
    p.rotate(w.degrees);
    p.drawText(0, 0, w.text);
    const QRectF local = QFontMetricsF(font).tightBoundingRect(w.text);
    return p.transform().mapRect(local);
}

QImage paper(QColor colour = QColor(238, 232, 214))
{
    QImage image(imageW, imageH, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The observation's box in pixels of the upright picture, y down.
QRectF pixelBox(const TextObservation& o, const QImage& image)
{
    const QRectF& b = o.boundingBox;
    return QRectF(b.left() * image.width(), (1.0 - b.bottom()) * image.height(), b.width() * image.width(),
                  b.height() * image.height());
}

double coveredShare(const QRectF& ink, const QRectF& box)
{
    const QRectF common = ink.intersected(box);
    return common.isEmpty() ? 0 : common.width() * common.height() / (ink.width() * ink.height());
}

// The observation that covers most of the ink, or null.
const TextObservation* lineOver(const std::vector<TextObservation>& lines, const QRectF& ink, const QImage& image)
{
    const TextObservation* best = nullptr;
    double bestShare = 0.5;
    for (const TextObservation& o : lines) {
        const double share = coveredShare(ink, pixelBox(o, image));
        if (share > bestShare) {
            bestShare = share;
            best = &o;
        }
    }
    return best;
}

int threadCount() { return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()); }

TextObservation observation(QRectF box, double confidence, const char* text)
{
    return {box, confidence, QString::fromUtf8(text)};
}

}  // namespace

class TextRecognizerTurned : public ::testing::TestWithParam<int> {};

TEST_P(TextRecognizerTurned, WritingAtAnyQuarterTurnIsFoundInTheUprightFrame)
{
    REQUIRE_RECOGNIZER();
    QImage image = paper();
    Writing w;
    w.degrees = GetParam();
    w.at = QPointF(320, 440);
    const QRectF ink = paintWriting(image, w);
    const std::vector<TextObservation> lines = Vision::recognizeText(image);
    const TextObservation* line = lineOver(lines, ink, image);
    ASSERT_NE(line, nullptr) << "turned " << GetParam() << "°, " << lines.size() << " lines";
    // In the upright frame, origin at the bottom left; the box hugs the line.
    const QRectF box = pixelBox(*line, image);
    const bool sideways = GetParam() % 180 != 0;
    EXPECT_EQ(box.height() > box.width(), sideways);
    EXPECT_LT(box.width() * box.height(), ink.width() * ink.height() * 4);
    EXPECT_FALSE(line->text.isEmpty());
    EXPECT_TRUE(Vision::recognizeText(QImage()).empty());
}

INSTANTIATE_TEST_SUITE_P(QuarterTurns, TextRecognizerTurned, ::testing::Values(0, 90, 180, 270));

TEST(TextRecognizer, FaintPencilOnShadedTintedPaperIsFound)
{
    REQUIRE_RECOGNIZER();
    QImage image = paper();
    {
        // Paper darkening towards one corner, as under a lifted lid.
        QPainter p(&image);
        QLinearGradient shade(0, 0, imageW, imageH);
        shade.setColorAt(0, QColor(242, 236, 214));
        shade.setColorAt(1, QColor(190, 180, 150));
        p.fillRect(image.rect(), shade);
    }
    Writing w;
    w.text = QStringLiteral("Summer at the lake 1962");
    w.ink = QColor(150, 146, 136);
    w.at = QPointF(250, 700);
    const QRectF ink = paintWriting(image, w);
    const std::vector<TextObservation> lines = Vision::recognizeText(image);
    EXPECT_NE(lineOver(lines, ink, image), nullptr) << lines.size() << " lines";
}

TEST(TextRecognizer, ConcurrentCallsAgreeAReadingStartsNoComputeThreadsAndLowLinesAreIgnored)
{
    REQUIRE_RECOGNIZER();
    QImage image = paper();
    const QRectF ink = paintWriting(image, {});
    Writing second;
    second.text = QStringLiteral("June 1987");
    second.at = QPointF(200, 600);
    second.degrees = 90;
    paintWriting(image, second);
    const std::vector<TextObservation> alone = Vision::recognizeText(image);
    ASSERT_FALSE(alone.empty());
    const QList<std::vector<TextObservation>> together = QtConcurrent::blockingMapped<QList<std::vector<TextObservation>>>(
        QList<int>{0, 1, 2}, [&image](int) { return Vision::recognizeText(image); });
    for (const auto& lines : together) {
        ASSERT_EQ(lines.size(), alone.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].boundingBox, alone[i].boundingBox);
            EXPECT_EQ(lines[i].text, alone[i].text);
        }
    }

    Vision::TextRequest request;
    request.allOrientations = false;   // read on the calling thread only
    Vision::recognizeText(image, request);  // the recognizer is started and cached
    // OpenMP keeps a team of helpers for each thread that opens a parallel region, alive as
    // long as that thread; a fresh thread shows whether a reading opens one.
    int before = 0, after = 0;
    std::vector<TextObservation> upright;
    std::thread reader([&] {
        before = threadCount();
        upright = Vision::recognizeText(image, request);
        after = threadCount();
    });
    reader.join();
    EXPECT_NE(lineOver(upright, ink, image), nullptr);
    EXPECT_EQ(after, before);
    // The ink is about 2 % of the height; a 4 % minimum leaves it out.
    request.minimumTextHeight = 0.04;
    EXPECT_EQ(lineOver(Vision::recognizeText(image, request), ink, image), nullptr);
}

TEST(TextRecognizerPooling, ALineReadWholeOutweighsConfidentFragmentsAndBarelyTouchingLinesStay)
{
    const TextObservation whole = observation(QRectF(0.1, 0.5, 0.4, 0.03), 0.6, "Lake Erie 1987");
    const TextObservation fragment = observation(QRectF(0.12, 0.5, 0.03, 0.03), 0.9, "S");
    const TextObservation elsewhere = observation(QRectF(0.6, 0.1, 0.2, 0.03), 0.4, "Tom");
    const TextObservation overlapping = observation(QRectF(0.1, 0.51, 0.38, 0.03), 0.5, "Lake Eric 1987");
    const std::vector<TextObservation> got = Vision::mergeDuplicateLines({fragment, elsewhere, overlapping, whole});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].text, whole.text);
    EXPECT_EQ(got[1].text, elsewhere.text);

    const TextObservation lower = observation(QRectF(0.1, 0.48, 0.4, 0.03), 0.6, "lower");  // a third overlaps
    EXPECT_EQ(Vision::mergeDuplicateLines({whole, lower}).size(), 2u);
    EXPECT_TRUE(Vision::mergeDuplicateLines({}).empty());
}

TEST(TextRecognizerFlatten, ShadedPaperTurnsWhiteInkStaysDarkDarkLidStaysDark)
{
    QImage image(400, 300, QImage::Format_RGB32);
    {
        QPainter p(&image);
        QLinearGradient shade(0, 0, 400, 0);
        shade.setColorAt(0, QColor(240, 235, 220));
        shade.setColorAt(1, QColor(170, 160, 140));
        p.fillRect(image.rect(), shade);
        p.fillRect(QRect(0, 250, 400, 50), QColor(20, 20, 20));   // a dark lid below the paper
        p.fillRect(QRect(300, 100, 40, 3), QColor(120, 115, 100));  // a stroke on the darker side
    }
    const QImage flat = Vision::flattenBackground(image);
    ASSERT_EQ(flat.size(), image.size());
    ASSERT_EQ(flat.format(), QImage::Format_Grayscale8);
    auto at = [&flat](int x, int y) { return int(flat.constScanLine(y)[x]); };
    EXPECT_GE(at(20, 50), 245);
    EXPECT_GE(at(380, 50), 245);
    EXPECT_LT(at(320, 101), 100);
    EXPECT_LT(at(200, 290), 60);
    EXPECT_TRUE(Vision::flattenBackground(QImage()).isNull());
}
