#include "support/ModelFixture.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class NamingTest : public ModelFixture {
protected:
    void touch(const QString& name)
    {
        QDir().mkpath(outputFolder());
        QFile f(QDir(outputFolder()).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    static ScanRegion front(QPointF center)
    {
        ScanRegion r;
        r.name = "Photo";
        r.center = center;
        r.size = QSizeF(4, 3);
        return r;
    }

    static ScanRegion back(QPointF center, BackTarget target = BackTarget::automatic())
    {
        ScanRegion r = front(center);
        r.back = target;
        return r;
    }
};

}  // namespace

TEST_F(NamingTest, SanitizeMakesAnyTextASafeBaseName)
{
    EXPECT_EQ(AppModel::sanitize("My: Photos"), "My- Photos");
    EXPECT_EQ(AppModel::sanitize("a//b"), "a--b");
    EXPECT_EQ(AppModel::sanitize("  trip "), "trip");
    EXPECT_EQ(AppModel::sanitize("\ttrip\t"), "trip");
    EXPECT_EQ(AppModel::sanitize("   "), "scan");
    EXPECT_EQ(AppModel::sanitize(""), "scan");
    EXPECT_EQ(AppModel::sanitize("?"), "-");
    EXPECT_EQ(AppModel::sanitize("a\\b*c\"d<e>f|g"), "a-b-c-d-e-f-g");
    EXPECT_EQ(AppModel::sanitize("\ntrip\n"), "-trip-") << "line breaks are not trimmed, and never reach a name";
    EXPECT_EQ(AppModel::sanitize(QString::fromUtf16(u"a\0b\x1f" "c\x7f", 6)), "a-b-c-");
}

TEST_F(NamingTest, TheSuffixLosesForbiddenCharactersButIsNotTrimmed)
{
    AppModel& m = makeModel();
    m.setBackSuffix("/");
    EXPECT_EQ(m.suffixOrDefault(), "_b");
    m.setBackSuffix("-back");
    EXPECT_EQ(m.suffixOrDefault(), "-back");
    m.setBackSuffix(" b");
    EXPECT_EQ(m.suffixOrDefault(), " b");
    m.setBackSuffix("_b:ack");
    EXPECT_EQ(m.suffixOrDefault(), "_back");
}

TEST_F(NamingTest, OnlyNumberedFilesOfTheBaseCountTowardsTheNextIndex)
{
    for (const char* name : {"scan_0001.jpg", "scan_0002.jpg", "scan_0002_b.jpg", "scan_0010.png", "scanner_0099.jpg",
                             "scan_abc.jpg", "scan_.jpg", "scan_0500.tar.gz", "scan_-7.jpg", "scan_+8.jpg"})
        touch(name);
    AppModel& m = makeModel();
    EXPECT_EQ(m.nextIndex("scan"), 11);
    EXPECT_EQ(m.nextIndex("other"), 1);

    touch("trip-2024_0004.jpg");
    EXPECT_EQ(m.nextIndex("trip/2024"), 5) << "the base is sanitized first, and a new file counts at once";
}

TEST_F(NamingTest, AKeptListingNeverMissesAFileWrittenSince)
{
    touch("scan_0001.jpg");
    AppModel& m = makeModel();
    // A folder last changed a minute ago: its listing is kept between calls.
    const timespec past[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(outputFolder()).constData(), past, 0), 0);
    EXPECT_EQ(m.nextIndex("scan"), 2);
    EXPECT_EQ(m.nextIndex("scan"), 2);
    touch("scan_0002.jpg");
    EXPECT_EQ(m.nextIndex("scan"), 3);
    touch("scan_0003.jpg");  // within the same clock tick as the listing before it
    EXPECT_EQ(m.nextIndex("scan"), 4);
    QFile::remove(QDir(outputFolder()).filePath("scan_0003.jpg"));
    EXPECT_EQ(m.nextIndex("scan"), 3);
}

TEST_F(NamingTest, AnUnreadableFolderNumbersFromOne)
{
    AppModel& m = makeModel();
    m.setOutputDir(root.filePath("missing"));
    EXPECT_EQ(m.nextIndex("scan"), 1);
}

TEST_F(NamingTest, TheLargestIndexIsLeftOutAndNumberingCarriesOn)
{
    touch("scan_9223372036854775807.jpg");
    touch("scan_0041.jpg");
    touch("scan_99999999999999999999.jpg");  // too large to be an index at all
    AppModel& m = makeModel();
    EXPECT_EQ(m.nextIndex("scan"), 42);

    touch("scan_9223372036854775806.jpg");
    EXPECT_EQ(m.nextIndex("scan"), 9223372036854775807);
    m.setRegions({front({1, 1}), front({4, 1})});
    const auto stems = m.plannedStems();
    EXPECT_EQ(stems.value(m.regions()[0].id), "scan_9223372036854775807");
    EXPECT_EQ(stems.value(m.regions()[1].id), "scan_9223372036854775807-2") << "never the same file twice";
}

TEST_F(NamingTest, FrontsAreNumberedFirstAndBacksTakeTheirFrontsName)
{
    for (int i = 1; i <= 10; ++i) touch(QString("scan_%1.jpg").arg(i, 4, 10, QChar('0')));
    AppModel& m = makeModel();
    const ScanRegion a = front({1, 1});
    const ScanRegion b = front({5, 1});
    const ScanRegion bBack = back({1.1, 1}, BackTarget::region(a.id));
    m.setRegions({bBack, a, b});
    const auto stems = m.plannedStems();
    EXPECT_EQ(stems.value(a.id), "scan_0011");
    EXPECT_EQ(stems.value(b.id), "scan_0012");
    EXPECT_EQ(stems.value(bBack.id), "scan_0011_b");
    EXPECT_EQ(m.backFrontStems().value(bBack.id), "scan_0011");
}

TEST_F(NamingTest, ABackWithNothingToPairIsNumberedAfterTheFronts)
{
    AppModel& m = makeModel();
    const ScanRegion b = back({1, 1}, BackTarget::region(QUuid::createUuid()));
    const ScanRegion f = front({5, 5});
    m.setRegions({b, f});
    const auto stems = m.plannedStems();
    EXPECT_EQ(stems.value(f.id), "scan_0001");
    EXPECT_EQ(stems.value(b.id), "scan_0002");
    EXPECT_FALSE(m.backFrontStems().contains(b.id));
}

TEST_F(NamingTest, ARememberedFrontKeepsItsOwnBaseWhateverTheCurrentBaseName)
{
    AppModel& m = makeModel();
    m.setBaseName("holiday");
    const ScanRegion b = back({1, 1}, BackTarget::history("scan_0007"));
    m.setRegions({b});
    EXPECT_EQ(m.plannedStems().value(b.id), "scan_0007_b");
}

TEST_F(NamingTest, LargeIndicesKeepAllTheirDigits)
{
    touch("scan_12344.jpg");
    AppModel& m = makeModel();
    m.setRegions({front({1, 1})});
    EXPECT_EQ(m.plannedStems().value(m.regions()[0].id), "scan_12345");
}

TEST_F(NamingTest, TwoBacksOfOneFrontNeverNameTheSameFile)
{
    AppModel& m = makeModel();
    const ScanRegion first = back({1, 1}, BackTarget::history("scan_0007"));
    const ScanRegion second = back({5, 1}, BackTarget::history("scan_0007"));
    const ScanRegion third = back({5, 5}, BackTarget::history("scan_0007"));
    m.setRegions({first, second, third});
    auto stems = m.plannedStems();
    EXPECT_EQ(stems.value(first.id), "scan_0007_b");
    EXPECT_EQ(stems.value(second.id), "scan_0007_b-2");
    EXPECT_EQ(stems.value(third.id), "scan_0007_b-3");

    // A repeat never takes a stem that another region plans for itself.
    m.setBackSuffix("-2");
    const ScanRegion natural = back({3, 3}, BackTarget::history("scan_0007-2"));  // plans scan_0007-2-2
    m.setRegions({first, second, natural});
    stems = m.plannedStems();
    EXPECT_EQ(stems.value(first.id), "scan_0007-2");
    EXPECT_EQ(stems.value(second.id), "scan_0007-2-3");
    EXPECT_EQ(stems.value(natural.id), "scan_0007-2-2");
}

TEST_F(NamingTest, StemsFromFilesCannotLeaveTheFolder)
{
    AppModel& m = makeModel();
    const ScanRegion climbing = back({1, 1}, BackTarget::history("../../etc/x"));
    const ScanRegion dots = back({3, 1}, BackTarget::history(".."));
    const ScanRegion empty = back({5, 1}, BackTarget::history(""));
    m.setRegions({climbing, dots, empty});
    const auto stems = m.plannedStems();
    EXPECT_EQ(stems.value(climbing.id), "..-..-etc-x_b");
    EXPECT_EQ(stems.value(dots.id), "scan_0001") << "numbered on its own";
    EXPECT_EQ(stems.value(empty.id), "scan_0002");
    for (const QString& s : stems) EXPECT_FALSE(s.contains('/'));
}
