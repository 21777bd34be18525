#include "model/RecordJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/Make.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QString kId = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

QJsonValue parse(const QString& text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (doc.isArray()) return doc.array();
    return doc.object();
}

ScanRegion sampleRegion() { return makeRegion({2.25, 3.125}, {6, 4}, {}, "Photo 1", -0.0312); }

ScanRecord sampleRecord()
{
    ScanRecord r = makeRecord("scan_0007", 786553123.456, {1.5, 9.75}, {5, 3.5}, 3);
    r.angle = 0.1;
    return r;
}

}  // namespace

TEST(RecordJson, RoundTripsWriteTheKnownKeys)
{
    const QUuid id = *uuidFromText(kId);
    const struct { BackTarget target; const char* json; } targets[] = {
        {BackTarget::automatic(), R"({"auto": {}})"},
        {BackTarget::region(id), R"({"region": {"_0": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"}})"},
        {BackTarget::history("scan_0003"), R"({"history": {"_0": "scan_0003"}})"},
    };
    for (const auto& t : targets) {
        EXPECT_EQ(*encodeBackTarget(t.target), parse(t.json)) << t.json;
        EXPECT_EQ(decodeBackTarget(parse(t.json)), t.target) << t.json;
    }

    const ScanRegion plain = sampleRegion();
    ScanRegion back = sampleRegion();
    back.back = BackTarget::history("scan_0002");
    back.frontBase = "scan_0009";
    const QJsonObject front = encodeRegion(sampleRegion())->toObject();
    EXPECT_EQ(front.keys(), (QStringList{"angle", "center", "id", "name", "size"})) << "a front has no optionals";
    EXPECT_EQ(front.value("id").toString(), front.value("id").toString().toUpper());
    EXPECT_EQ(front.value("center"), QJsonArray({2.25, 3.125}));
    const auto regions = decodeRegions(*encodeRegions({back, plain}));
    ASSERT_TRUE(regions);
    EXPECT_EQ(*regions, (std::vector<ScanRegion>{back, plain}));

    const ScanRecord r = sampleRecord();
    const QJsonObject o = encodeRecord(r)->toObject();
    EXPECT_EQ(o.keys(), (QStringList{"angle", "base", "center", "date", "id", "session", "size"}));
    EXPECT_EQ(decodeRecord(o), r);
    for (const QString& key : o.keys()) {
        QJsonObject missing = o;
        missing.remove(key);
        EXPECT_FALSE(decodeRecord(missing)) << "every key is required: " << key.toStdString();
    }

    // Pretty output; time in seconds since 2001 (2026 and 2050 in Unix time).
    EXPECT_TRUE(encodeRegions({sampleRegion()})->contains('\n'));
    EXPECT_GT(timestampNow(), 1767225600.0 - 978307200.0);
    EXPECT_LT(timestampNow(), 2524608000.0 - 978307200.0);
}

TEST(RecordJson, MalformedInputFails)
{
    const QString region = QString(R"({"id": "%1", "name": "A", "center": [1, 2], "size": [3, 4], "angle": 0%2})");
    const struct { QString json; bool reads; const char* why; } regions[] = {
        {region.arg(kId, ""), true, "the plain form"},
        {region.arg(kId, R"(, "extra": true)"), true, "unknown keys are ignored"},
        {region.arg(kId.toLower(), ""), true, "either case reads"},
        {QString(region).replace(R"(, "angle": 0)", "").arg(kId, ""), false, "angle is required"},
        {QString(region).replace("[1, 2]", "[1, 2, 3]").arg(kId, ""), false, "a point has two numbers"},
        {QString(region).replace("[1, 2]", "[1]").arg(kId, ""), false, "a point has two numbers"},
        {QString(region).replace("[1, 2]", R"([1, "2"])").arg(kId, ""), false, "numbers"},
        {QString(region).replace("[3, 4]", R"({"w": 3, "h": 4})").arg(kId, ""), false, "a size is a pair"},
        {region.arg("{" + kId + "}", ""), false, "braced UUIDs are not the canonical form"},
        {region.arg(QString(kId).remove('-'), ""), false, "UUIDs have dashes"},
        {region.arg(kId, R"(, "back": {})"), false, "a target has one key"},
    };
    for (const auto& c : regions) EXPECT_EQ(bool(decodeRegion(parse(c.json))), c.reads) << c.why;

    for (const char* target : {"{}", R"({"auto": {}, "history": {"_0": "x"}})", R"({"manual": {}})", R"({"history": {"_0": 7}})", R"({"region": {"_0": "not-a-uuid"}})",
                               R"({"region": {}})", R"({"auto": 1})"})
        EXPECT_FALSE(decodeBackTarget(parse(target))) << target;

    QJsonObject fractional = encodeRecord(sampleRecord())->toObject();
    fractional["session"] = 1.5;
    EXPECT_FALSE(decodeRecord(fractional));

    // One bad element makes the whole list unreadable.
    QJsonArray array = QJsonDocument::fromJson(*encodeRecords({sampleRecord(), sampleRecord()})).array();
    array[1] = fractional;
    EXPECT_FALSE(decodeRecords(QJsonDocument(array).toJson()));
    EXPECT_FALSE(decodeRecords("{}")) << "an object is not a list";
    EXPECT_FALSE(decodeRecords("[1, 2"));
    EXPECT_TRUE(decodeRecords("[]"));
}

TEST(RecordJson, NonFiniteNumbersCannotBeWritten)
{
    ScanRecord r = sampleRecord();
    r.angle = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(encodeRecords({sampleRecord(), r}));
    ScanRegion g = sampleRegion();
    g.center.setX(std::numeric_limits<double>::infinity());
    EXPECT_FALSE(encodeRegions({g}));
}
