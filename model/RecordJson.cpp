#include "model/RecordJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

// Thrown inside this file only; the public functions turn it into an empty result.
struct JsonError {};

struct NotFinite {};

[[noreturn]] void fail() { throw JsonError{}; }

QJsonValue number(double v)
{
    if (!std::isfinite(v)) throw NotFinite{};
    return QJsonValue(v);
}

QJsonArray pair(double a, double b) { return QJsonArray{number(a), number(b)}; }

QJsonValue required(const QJsonObject& object, const char* key)
{
    const auto it = object.find(QLatin1String(key));
    if (it == object.end()) fail();
    return it.value();
}

QJsonObject asObject(const QJsonValue& v)
{
    if (!v.isObject()) fail();
    return v.toObject();
}

double asNumber(const QJsonValue& v)
{
    if (!v.isDouble() || !std::isfinite(v.toDouble())) fail();
    return v.toDouble();
}

std::int64_t asInteger(const QJsonValue& v)
{
    const double d = asNumber(v);
    // The range check keeps the conversion below defined.
    if (d != std::floor(d) || d < -9.2e18 || d > 9.2e18) fail();
    const qint64 exact = v.toInteger(std::numeric_limits<qint64>::min());
    return exact != std::numeric_limits<qint64>::min() ? exact : static_cast<std::int64_t>(d);
}

QString asString(const QJsonValue& v)
{
    if (!v.isString()) fail();
    return v.toString();
}

std::pair<double, double> asPair(const QJsonValue& v)
{
    if (!v.isArray() || v.toArray().size() != 2) fail();
    const QJsonArray a = v.toArray();
    return {asNumber(a[0]), asNumber(a[1])};
}

QUuid asUuid(const QJsonValue& v)
{
    const auto id = uuidFromText(asString(v));
    if (!id) fail();
    return *id;
}

BackTarget readBackTarget(const QJsonValue& json)
{
    const QJsonObject object = asObject(json);
    if (object.size() != 1) fail();
    const QString key = object.begin().key();
    const QJsonValue value = object.begin().value();
    if (key == "auto") {
        asObject(value);
        return BackTarget::automatic();
    }
    if (key == "region") return BackTarget::region(asUuid(required(asObject(value), "_0")));
    if (key == "history") return BackTarget::history(asString(required(asObject(value), "_0")));
    fail();
}

ScanRegion readRegion(const QJsonValue& json)
{
    const QJsonObject o = asObject(json);
    ScanRegion r;
    r.id = asUuid(required(o, "id"));
    r.name = asString(required(o, "name"));
    const auto [cx, cy] = asPair(required(o, "center"));
    const auto [w, h] = asPair(required(o, "size"));
    r.center = QPointF(cx, cy);
    r.size = QSizeF(w, h);
    r.angle = asNumber(required(o, "angle"));
    // A key present with null counts as absent, as an optional does when decoded.
    if (const QJsonValue back = o.value("back"); !back.isUndefined() && !back.isNull()) r.back = readBackTarget(back);
    if (const QJsonValue fb = o.value("frontBase"); !fb.isUndefined() && !fb.isNull()) r.frontBase = asString(fb);
    return r;
}

ScanRecord readRecord(const QJsonValue& json)
{
    const QJsonObject o = asObject(json);
    ScanRecord r;
    r.id = asUuid(required(o, "id"));
    r.base = asString(required(o, "base"));
    const auto [cx, cy] = asPair(required(o, "center"));
    const auto [w, h] = asPair(required(o, "size"));
    r.center = QPointF(cx, cy);
    r.size = QSizeF(w, h);
    r.angle = asNumber(required(o, "angle"));
    r.date = asNumber(required(o, "date"));
    r.session = asInteger(required(o, "session"));
    return r;
}

QJsonValue writeBackTarget(const BackTarget& t)
{
    switch (t.kind) {
    case BackTarget::Kind::Auto: return QJsonObject{{"auto", QJsonObject{}}};
    case BackTarget::Kind::Region: return QJsonObject{{"region", QJsonObject{{"_0", uuidText(t.regionID)}}}};
    case BackTarget::Kind::History: return QJsonObject{{"history", QJsonObject{{"_0", t.base}}}};
    }
    return {};
}

QJsonValue writeRegion(const ScanRegion& r)
{
    QJsonObject o{
        {"id", uuidText(r.id)},
        {"name", r.name},
        {"center", pair(r.center.x(), r.center.y())},
        {"size", pair(r.size.width(), r.size.height())},
        {"angle", number(r.angle)},
    };
    if (r.back) o.insert("back", writeBackTarget(*r.back));
    if (r.frontBase) o.insert("frontBase", *r.frontBase);
    return o;
}

QJsonValue writeRecord(const ScanRecord& r)
{
    return QJsonObject{
        {"id", uuidText(r.id)},
        {"base", r.base},
        {"center", pair(r.center.x(), r.center.y())},
        {"size", pair(r.size.width(), r.size.height())},
        {"angle", number(r.angle)},
        {"date", number(r.date)},
        {"session", QJsonValue(static_cast<qint64>(r.session))},
    };
}

template <class T>
std::optional<QJsonValue> encodeWith(const T& value, QJsonValue (*write)(const T&))
{
    try {
        return write(value);
    } catch (const NotFinite&) {
        return std::nullopt;
    }
}

template <class T>
std::optional<T> decodeWith(const QJsonValue& json, T (*read)(const QJsonValue&))
{
    try {
        return read(json);
    } catch (const JsonError&) {
        return std::nullopt;
    }
}

template <class T>
std::optional<QByteArray> encodeList(const std::vector<T>& items, QJsonValue (*write)(const T&))
{
    try {
        QJsonArray array;
        for (const T& item : items) array.append(write(item));
        // QJsonObject keeps its keys sorted, so indented output is sorted-key pretty output.
        return QJsonDocument(array).toJson(QJsonDocument::Indented);
    } catch (const NotFinite&) {
        return std::nullopt;
    }
}

template <class T>
std::optional<std::vector<T>> decodeList(const QByteArray& bytes, T (*read)(const QJsonValue&))
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isArray()) return std::nullopt;
    try {
        std::vector<T> out;
        const QJsonArray array = doc.array();
        out.reserve(array.size());
        for (const QJsonValue& v : array) out.push_back(read(v));
        return out;
    } catch (const JsonError&) {
        return std::nullopt;
    }
}

}  // namespace

QString uuidText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> uuidFromText(const QString& text)
{
    // The canonical 8-4-4-4-12 form only (either case): no braces, no other spellings.
    static const QRegularExpression canonical(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$");
    if (!canonical.match(text).hasMatch()) return std::nullopt;
    return QUuid::fromString(text);
}

std::optional<QJsonValue> encodeBackTarget(const BackTarget& target) { return encodeWith(target, &writeBackTarget); }
std::optional<QJsonValue> encodeRegion(const ScanRegion& region) { return encodeWith(region, &writeRegion); }
std::optional<QJsonValue> encodeRecord(const ScanRecord& record) { return encodeWith(record, &writeRecord); }

std::optional<BackTarget> decodeBackTarget(const QJsonValue& json) { return decodeWith(json, &readBackTarget); }
std::optional<ScanRegion> decodeRegion(const QJsonValue& json) { return decodeWith(json, &readRegion); }
std::optional<ScanRecord> decodeRecord(const QJsonValue& json) { return decodeWith(json, &readRecord); }

std::optional<QByteArray> encodeRegions(const std::vector<ScanRegion>& regions) { return encodeList(regions, &writeRegion); }
std::optional<QByteArray> encodeRecords(const std::vector<ScanRecord>& records) { return encodeList(records, &writeRecord); }
std::optional<std::vector<ScanRegion>> decodeRegions(const QByteArray& bytes) { return decodeList(bytes, &readRegion); }
std::optional<std::vector<ScanRecord>> decodeRecords(const QByteArray& bytes) { return decodeList(bytes, &readRecord); }
