#include "support/Files.h"
#include "support/Make.h"
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
        ASSERT_TRUE(writeFile(QDir(outputFolder()).filePath(name)));
    }

    static ScanRegion region(QPointF center, std::optional<BackTarget> target = std::nullopt)
    {
        return makeRegion(center, {4, 3}, target, "Photo");
    }
    static BackTarget history(const QString& base) { return BackTarget::history(base); }
};

}  // namespace

TEST_F(NamingTest, BaseNamesAndSuffixesLoseForbiddenCharacters)
{
    const std::pair<QString, QString> bases[] = {
        {"My: Photos", "My- Photos"}, {"a//b", "a--b"}, {"  trip ", "trip"}, {"\ttrip\t", "trip"}, {"   ", "scan"},
        {"", "scan"}, {"a\\b*c\"d<e>f|g", "a-b-c-d-e-f-g"}, {"\ntrip\n", "-trip-"},
        {QString::fromUtf16(u"a\0b\x1f" "c\x7f", 6), "a-b-c-"},
    };
    for (const auto& [in, expected] : bases) EXPECT_EQ(AppModel::sanitize(in), expected) << in.toStdString();

    AppModel& m = makeModel();
    for (const auto& [in, expected] : {std::pair<QString, QString>{"/", "_b"}, {"-back", "-back"}, {" b", " b"},
                                       {"_b:ack", "_back"}}) {
        m.setBackSuffix(in);
        EXPECT_EQ(m.suffixOrDefault(), expected) << in.toStdString();
    }
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
    m.setOutputDir(root.filePath("missing"));
    EXPECT_EQ(m.nextIndex("scan"), 1) << "an unreadable folder numbers from one";
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

TEST_F(NamingTest, PlannedStems)
{
    const QUuid stranger = QUuid::createUuid();
    struct Case {
        const char* what;
        std::vector<const char*> files;
        QString suffix;
        std::vector<ScanRegion> regions;
        std::vector<QString> stems;  // one per region
        QString base = "scan";
    };
    const ScanRegion a = region({1, 1});
    const std::vector<const char*> ten = {"scan_0010.jpg"};
    const Case cases[] = {
        {"fronts first, a back takes its front's name", ten, "",
         {region({1.1, 1}, BackTarget::region(a.id)), a, region({5, 1})}, {"scan_0011_b", "scan_0011", "scan_0012"}},
        {"a back with nothing to pair is numbered after the fronts", {}, "",
         {region({1, 1}, BackTarget::region(stranger)), region({5, 5})}, {"scan_0002", "scan_0001"}},
        {"large indices keep all their digits", {"scan_12344.jpg"}, "", {region({1, 1})}, {"scan_12345"}},
        {"the largest index is left out and numbering carries on",
         {"scan_9223372036854775807.jpg", "scan_0041.jpg", "scan_99999999999999999999.jpg",
          "scan_9223372036854775806.jpg"},
         "", {region({1, 1}), region({4, 1})}, {"scan_9223372036854775807", "scan_9223372036854775807-2"}},
        {"two backs of one front never name the same file", {}, "",
         {region({1, 1}, history("scan_0007")), region({5, 1}, history("scan_0007")), region({5, 5}, history("scan_0007"))},
         {"scan_0007_b", "scan_0007_b-2", "scan_0007_b-3"}},
        {"a repeat never takes a stem another region plans", {}, "-2",
         {region({1, 1}, history("scan_0007")), region({5, 1}, history("scan_0007")),
          region({3, 3}, history("scan_0007-2"))},
         {"scan_0007-2", "scan_0007-2-3", "scan_0007-2-2"}},
        {"a back takes the base name through its front, a remembered front keeps its own", {}, "",
         {a, region({1.1, 1}, BackTarget::region(a.id)), region({5, 5}, history("scan_0007"))},
         {"holiday_0001", "holiday_0001_b", "scan_0007_b"}, "holiday"},
        {"stems from files cannot leave the folder", {}, "",
         {region({1, 1}, history("../../etc/x")), region({3, 1}, history("..")), region({5, 1}, history(""))},
         {"..-..-etc-x_b", "scan_0001", "scan_0002"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* f : c.files) touch(f);
        AppModel& m = makeModel();
        if (!c.suffix.isEmpty()) m.setBackSuffix(c.suffix);
        m.setBaseName(c.base);
        m.setRegions(c.regions);
        const auto stems = m.plannedStems();
        for (std::size_t i = 0; i < c.regions.size(); ++i) EXPECT_EQ(stems.value(c.regions[i].id), c.stems[i]) << i;
        model.reset();
        QDir(outputFolder()).removeRecursively();
    }
}
