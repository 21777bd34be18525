#include "model/RecordJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QString kId = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

QJsonValue parse(const char* text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text));
    if (doc.isArray()) return doc.array();
    return doc.object();
}

ScanRegion sampleRegion()
{
    ScanRegion r;
    r.name = "Photo 1";
    r.center = QPointF(2.25, 3.125);
    r.size = QSizeF(6, 4);
    r.angle = -0.0312;
    return r;
}

ScanRecord sampleRecord()
{
    ScanRecord r;
    r.base = "scan_0007";
    r.center = QPointF(1.5, 9.75);
    r.size = QSizeF(5, 3.5);
    r.angle = 0.1;
    r.date = 786553123.456;
    r.session = 3;
    return r;
}

QJsonObject regionObject(const char* extra = "")
{
    return parse(QString(R"({"id": "%1", "name": "A", "center": [1, 2], "size": [3, 4], "angle": 0%2})")
                     .arg(kId, extra)
                     .toUtf8())
        .toObject();
}

}  // namespace

TEST(BackTargetJson, EachVariantHasOneKeyAndItsPayloadUnderUnderscoreZero)
{
    EXPECT_EQ(*encodeBackTarget(BackTarget::automatic()), parse(R"({"auto": {}})"));
    const QUuid id = *uuidFromText(kId);
    EXPECT_EQ(*encodeBackTarget(BackTarget::region(id)), parse(R"({"region": {"_0": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"}})"));
    EXPECT_EQ(*encodeBackTarget(BackTarget::history("scan_0003")), parse(R"({"history": {"_0": "scan_0003"}})"));

    for (const BackTarget& t : {BackTarget::automatic(), BackTarget::region(id), BackTarget::history("x")})
        EXPECT_EQ(decodeBackTarget(*encodeBackTarget(t)), t);
}

TEST(BackTargetJson, AnythingButExactlyOneKnownKeyFails)
{
    EXPECT_FALSE(decodeBackTarget(parse(R"({})")));
    EXPECT_FALSE(decodeBackTarget(parse(R"({"auto": {}, "region": {"_0": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"}})")));
    EXPECT_FALSE(decodeBackTarget(parse(R"({"manual": {}})")));
    EXPECT_FALSE(decodeBackTarget(parse(R"({"history": {"_0": 7}})")));
    EXPECT_FALSE(decodeBackTarget(parse(R"({"region": {"_0": "not-a-uuid"}})")));
    EXPECT_FALSE(decodeBackTarget(parse(R"({"region": {}})")));
    EXPECT_FALSE(decodeBackTarget(parse(R"({"auto": 1})")));
}

TEST(RegionJson, AFrontHasExactlyFiveKeysAndReadsBackWithoutOptionals)
{
    const ScanRegion r = sampleRegion();
    const QJsonObject o = encodeRegion(r)->toObject();
    EXPECT_EQ(o.keys(), (QStringList{"angle", "center", "id", "name", "size"}));
    EXPECT_EQ(o.value("id").toString(), o.value("id").toString().toUpper());
    EXPECT_EQ(o.value("center"), QJsonArray({2.25, 3.125}));

    const auto back = decodeRegion(o);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, r);
    EXPECT_FALSE(back->back.has_value());
    EXPECT_FALSE(back->frontBase.has_value());
}

TEST(RegionJson, BackAndFrontBaseRoundTrip)
{
    ScanRegion r = sampleRegion();
    r.back = BackTarget::history("scan_0002");
    r.frontBase = "scan_0009";
    const auto encoded = encodeRegions({r, sampleRegion()});
    ASSERT_TRUE(encoded);
    const auto decoded = decodeRegions(*encoded);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->size(), 2u);
    EXPECT_EQ((*decoded)[0], r);
}

TEST(RegionJson, MalformedElementsFail)
{
    EXPECT_TRUE(decodeRegion(regionObject()));
    EXPECT_TRUE(decodeRegion(regionObject(R"(, "extra": true)"))) << "unknown keys are ignored";

    QJsonObject o = regionObject();
    o.remove("angle");
    EXPECT_FALSE(decodeRegion(o)) << "angle is required";

    o = regionObject();
    o["center"] = QJsonArray{1, 2, 3};
    EXPECT_FALSE(decodeRegion(o)) << "a point has exactly two numbers";
    o["center"] = QJsonArray{1};
    EXPECT_FALSE(decodeRegion(o));
    o["center"] = QJsonArray{1, "2"};
    EXPECT_FALSE(decodeRegion(o));

    o = regionObject();
    o["size"] = QJsonObject{{"w", 1}, {"h", 2}};
    EXPECT_FALSE(decodeRegion(o));

    o = regionObject();
    o["id"] = "{" + kId + "}";
    EXPECT_FALSE(decodeRegion(o)) << "braced UUIDs are not the canonical form";
    o["id"] = "E621E1F8C36C495A93FC0C247A3E6E5F";
    EXPECT_FALSE(decodeRegion(o));
    o["id"] = kId.toLower();
    EXPECT_TRUE(decodeRegion(o)) << "either case reads";

    o = regionObject();
    o["back"] = QJsonObject{};
    EXPECT_FALSE(decodeRegion(o));
}

TEST(RecordJson, AllSevenKeysAreWrittenAndRequired)
{
    const ScanRecord r = sampleRecord();
    const QJsonObject o = encodeRecord(r)->toObject();
    EXPECT_EQ(o.keys(), (QStringList{"angle", "base", "center", "date", "id", "session", "size"}));
    EXPECT_EQ(*decodeRecord(o), r);

    for (const QString& key : o.keys()) {
        QJsonObject missing = o;
        missing.remove(key);
        EXPECT_FALSE(decodeRecord(missing)) << "without " << key.toStdString();
    }
    QJsonObject fractional = o;
    fractional["session"] = 1.5;
    EXPECT_FALSE(decodeRecord(fractional));
}

TEST(RecordJson, TimestampsAreSecondsSince2001)
{
    // 2026-01-01T00:00:00Z is 1767225600 s after the Unix epoch, 978307200 s of which lie before 2001.
    const Timestamp now = timestampNow();
    EXPECT_GT(now, 1767225600.0 - 978307200.0);
    EXPECT_LT(now, 2524608000.0 - 978307200.0);  // before 2050
}

TEST(RecordJson, NonFiniteNumbersCannotBeWritten)
{
    ScanRecord r = sampleRecord();
    r.angle = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(encodeRecord(r));
    EXPECT_FALSE(encodeRecords({sampleRecord(), r}));

    ScanRegion g = sampleRegion();
    g.center.setX(std::numeric_limits<double>::infinity());
    EXPECT_FALSE(encodeRegions({g}));
}

TEST(ListJson, OneBadElementMakesTheWholeListUnreadable)
{
    const QByteArray good = *encodeRecords({sampleRecord(), sampleRecord()});
    ASSERT_TRUE(decodeRecords(good));
    QJsonArray array = QJsonDocument::fromJson(good).array();
    QJsonObject second = array[1].toObject();
    second.remove("session");
    array[1] = second;
    EXPECT_FALSE(decodeRecords(QJsonDocument(array).toJson()));
    EXPECT_FALSE(decodeRecords("{}")) << "an object is not a list";
    EXPECT_FALSE(decodeRecords("[1, 2"));
    EXPECT_TRUE(decodeRecords("[]"));
}

TEST(ListJson, OutputIsPrettyWithSortedKeys)
{
    const QByteArray text = *encodeRegions({sampleRegion()});
    EXPECT_TRUE(text.contains('\n'));
    const qsizetype angle = text.indexOf("\"angle\"");
    const qsizetype center = text.indexOf("\"center\"");
    const qsizetype id = text.indexOf("\"id\"");
    const qsizetype name = text.indexOf("\"name\"");
    const qsizetype size = text.indexOf("\"size\"");
    EXPECT_TRUE(angle < center && center < id && id < name && name < size);
}
