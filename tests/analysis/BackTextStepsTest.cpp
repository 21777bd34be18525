// The steps of back-side note detection after the recognizer, on given line boxes.

#include "analysis/BackTextDetect.h"

#include <gtest/gtest.h>

using AutoDetect::TextCluster;
using Vision::TextObservation;

namespace {

constexpr QSizeF bed(8.5, 11.7);

// A recognised line at `inches` on the bed, as the recognizer reports it: normalised to the
// image, origin at the bottom-left.
TextObservation line(QRectF inches, double confidence)
{
    const double x = inches.left() / bed.width();
    const double y = 1.0 - inches.bottom() / bed.height();
    return {QRectF(x, y, inches.width() / bed.width(), inches.height() / bed.height()), confidence, QStringLiteral("x")};
}

TextCluster cluster(QRectF rect, float conf = 0.9f, int count = 1) { return {rect, conf, count}; }

void expectRectNear(const QRectF& got, const QRectF& want, double tol = 1e-9)
{
    EXPECT_NEAR(got.left(), want.left(), tol);
    EXPECT_NEAR(got.top(), want.top(), tol);
    EXPECT_NEAR(got.width(), want.width(), tol);
    EXPECT_NEAR(got.height(), want.height(), tol);
}

QRectF bounds(const ScanRegion& r) { return r.aabbInches(); }

}  // namespace

TEST(BackTextLines, MapToBedInchesWithYDownKeepOrderAndConfidenceAndDropNarrowAndLowLines)
{
    const std::vector<TextCluster> got = AutoDetect::lineClusters(
        {line(QRectF(1, 2, 1.5, 0.25), 0.8), line(QRectF(1, 1, 0.11, 0.3), 0.9),  // narrower than 0.12 inch
         line(QRectF(1, 2, 2.0, 0.04), 0.9),                                        // lower than 0.05 inch
         line(QRectF(5, 9, 0.5, 0.2), 0.3), line(QRectF(1, 3, 0.13, 0.06), 0.9)},  // just above both limits
        bed);
    ASSERT_EQ(got.size(), 3u);
    expectRectNear(got[0].rect, QRectF(1, 2, 1.5, 0.25), 1e-9);
    EXPECT_FLOAT_EQ(got[0].maxConf, 0.8f);
    EXPECT_EQ(got[0].count, 1);
    expectRectNear(got[1].rect, QRectF(5, 9, 0.5, 0.2), 1e-9);
    EXPECT_FLOAT_EQ(got[1].maxConf, 0.3f);
    EXPECT_NEAR(got[2].rect.top(), 3, 1e-9);
}

TEST(BackTextMerge, LinesCloserThanReachJoinFartherStayApart)
{
    // A date over a place, 0.3 inch apart; a third line 0.5 inch to the right of the place.
    const std::vector<TextCluster> got = AutoDetect::mergeClusters({
        cluster(QRectF(1, 1, 1.0, 0.2), 0.4f),
        cluster(QRectF(1, 1.5, 1.6, 0.2), 0.7f),
        cluster(QRectF(3.1, 1.5, 1.0, 0.2), 0.9f),
    });
    ASSERT_EQ(got.size(), 2u);
    expectRectNear(got[0].rect, QRectF(1, 1, 1.6, 0.7));
    EXPECT_FLOAT_EQ(got[0].maxConf, 0.7f);
    EXPECT_EQ(got[0].count, 2);
    expectRectNear(got[1].rect, QRectF(3.1, 1.5, 1.0, 0.2));
    EXPECT_EQ(got[1].count, 1);
    // Sideways the reach is the same.
    EXPECT_EQ(AutoDetect::mergeClusters({cluster(QRectF(0, 0, 1, 0.25)), cluster(QRectF(1.44, 0, 1, 0.25))}).size(), 1u);
    EXPECT_EQ(AutoDetect::mergeClusters({cluster(QRectF(0, 0, 1, 0.25)), cluster(QRectF(1.46, 0, 1, 0.25))}).size(), 2u);
    EXPECT_TRUE(AutoDetect::mergeClusters({}).empty());
}

TEST(BackTextMerge, GrowingBlockPicksUpEarlierSkippedLinesAndKeepsFirstPlace)
{
    // A is out of C's reach until B, last in the list, has joined A; D joins only through C. Everything ends as one block in A's place, before the separate E.
    const std::vector<TextCluster> got = AutoDetect::mergeClusters({
        cluster(QRectF(0, 0, 1, 0.2), 0.2f),       // A
        cluster(QRectF(6, 0, 1, 0.2), 0.9f),       // E, far away
        cluster(QRectF(0, 1.2, 1, 0.2), 0.3f),     // C: 1 inch below A
        cluster(QRectF(0, 1.8, 1, 0.2), 0.1f, 2),  // D: 0.4 below C
        cluster(QRectF(0, 0.6, 1, 0.2), 0.5f),     // B: between A and C
    });
    ASSERT_EQ(got.size(), 2u);
    expectRectNear(got[0].rect, QRectF(0, 0, 1, 2.0));
    EXPECT_EQ(got[0].count, 5);
    EXPECT_FLOAT_EQ(got[0].maxConf, 0.5f);
    expectRectNear(got[1].rect, QRectF(6, 0, 1, 0.2));
}

TEST(BackTextFilter, SingleLinesNeedConfidenceOrLength)
{
    const struct {
        QRectF rect;
        float conf;
        int lines;
        bool note;
    } cases[] = {
        {QRectF(1, 1, 0.4, 0.3), 0.3f, 1, false},   // a short word of low confidence
        {QRectF(1, 1, 0.4, 0.3), 0.45f, 1, true},   // confidence just enough
        {QRectF(1, 1, 2.0, 0.2), 0.0f, 1, true},    // long, whatever its confidence
        {QRectF(1, 1, 0.2, 2.0), 0.0f, 1, true},    // long and sideways
        {QRectF(1, 1, 0.56, 0.25), 0.1f, 1, true},  // elongation just above 2.2
        {QRectF(1, 1, 0.54, 0.25), 0.1f, 1, false}, // just below
        {QRectF(1, 1, 0.4, 0.3), 0.1f, 2, true},    // more than one line
    };
    for (const auto& c : cases)
        EXPECT_EQ(AutoDetect::isNote(cluster(c.rect, c.conf, c.lines)), c.note) << c.rect.width() << " " << c.conf;
}

TEST(BackTextRegions, DateAndPlaceFromTheRecognizerBecomeOneNoteAndLoneOrTinyWordsNone)
{
    const std::vector<ScanRegion> got = AutoDetect::notesFromLines(
        {line(QRectF(2, 4, 1.0, 0.22), 0.35), line(QRectF(2.1, 4.52, 1.8, 0.25), 0.4),
         line(QRectF(6, 9, 0.3, 0.25), 0.2)},  // a lone short low-confidence word elsewhere
        bed);
    ASSERT_EQ(got.size(), 1u);
    expectRectNear(bounds(got[0]), QRectF(1.9, 3.9, 2.1, 0.97), 1e-9);
    EXPECT_TRUE(AutoDetect::notesFromLines({}, bed).empty());
    // A low-confidence word, and a block too small for the bed, make no note.
    EXPECT_TRUE(AutoDetect::noteRegions({cluster(QRectF(1, 1, 0.4, 0.3), 0.3f)}, bed).empty());
    EXPECT_TRUE(AutoDetect::noteRegions({cluster(QRectF(0, 0.5, 0.13, 0.6), 0.9f)}, QSizeF(0.15, 2.0)).empty());
    // Notes come top row first, left to right within a row.
    const std::vector<ScanRegion> three = AutoDetect::notesFromLines(
        {line(QRectF(2.5, 7.3, 2, 0.3), 0.9), line(QRectF(5.2, 1.9, 2, 0.3), 0.9), line(QRectF(1, 2.1, 2, 0.3), 0.9)}, bed);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_NEAR(three[0].center.x(), 2.0, 0.2);
    EXPECT_NEAR(three[1].center.x(), 6.2, 0.2);
    EXPECT_NEAR(three[2].center.y(), 7.45, 0.2);
}
