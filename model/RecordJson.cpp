#include "model/RecordJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

// Thrown inside this file only; the public functions turn it into a Decoded error.
struct JsonError {
    QString message;
};

struct NotFinite {};

[[noreturn]] void fail(const QString& message) { throw JsonError{message}; }

QJsonValue number(double v)
{
    if (!std::isfinite(v)) throw NotFinite{};
    return QJsonValue(v);
}

QJsonArray pair(double a, double b) { return QJsonArray{number(a), number(b)}; }

QJsonValue required(const QJsonObject& object, const char* key)
{
    const auto it = object.find(QLatin1String(key));
    if (it == object.end()) fail(QString("No value associated with key \"%1\".").arg(key));
    return it.value();
}

QJsonObject asObject(const QJsonValue& v, const char* what)
{
    if (!v.isObject()) fail(QString("Expected %1 to be an object.").arg(what));
    return v.toObject();
}

double asNumber(const QJsonValue& v, const char* what)
{
    if (!v.isDouble() || !std::isfinite(v.toDouble())) fail(QString("Expected %1 to be a finite number.").arg(what));
    return v.toDouble();
}

std::int64_t asInteger(const QJsonValue& v, const char* what)
{
    const double d = asNumber(v, what);
    // The range check keeps the conversion below defined.
    if (d != std::floor(d) || d < -9.2e18 || d > 9.2e18) fail(QString("Expected %1 to be an integer.").arg(what));
    const qint64 exact = v.toInteger(std::numeric_limits<qint64>::min());
    return exact != std::numeric_limits<qint64>::min() ? exact : static_cast<std::int64_t>(d);
}

QString asString(const QJsonValue& v, const char* what)
{
    if (!v.isString()) fail(QString("Expected %1 to be a string.").arg(what));
    return v.toString();
}

std::pair<double, double> asPair(const QJsonValue& v, const char* what)
{
    if (!v.isArray() || v.toArray().size() != 2) fail(QString("Expected %1 to be an array of two numbers.").arg(what));
    const QJsonArray a = v.toArray();
    return {asNumber(a[0], what), asNumber(a[1], what)};
}

QUuid asUuid(const QJsonValue& v, const char* what)
{
    const auto id = uuidFromText(asString(v, what));
    if (!id) fail(QString("Attempted to decode UUID from invalid UUID string (%1).").arg(what));
    return *id;
}

BackTarget readBackTarget(const QJsonValue& json)
{
    const QJsonObject object = asObject(json, "back");
    if (object.size() != 1) fail("Invalid number of keys found, expected one.");
    const QString key = object.begin().key();
    const QJsonValue value = object.begin().value();
    if (key == "auto") {
        asObject(value, "auto");
        return BackTarget::automatic();
    }
    if (key == "region") return BackTarget::region(asUuid(required(asObject(value, "region"), "_0"), "region"));
    if (key == "history") return BackTarget::history(asString(required(asObject(value, "history"), "_0"), "history"));
    fail(QString("Unknown back target \"%1\".").arg(key));
}

ScanRegion readRegion(const QJsonValue& json)
{
    const QJsonObject o = asObject(json, "region");
    ScanRegion r;
    r.id = asUuid(required(o, "id"), "id");
    r.name = asString(required(o, "name"), "name");
    const auto [cx, cy] = asPair(required(o, "center"), "center");
    const auto [w, h] = asPair(required(o, "size"), "size");
    r.center = QPointF(cx, cy);
    r.size = QSizeF(w, h);
    r.angle = asNumber(required(o, "angle"), "angle");
    // A key present with null counts as absent, as an optional does when decoded.
    if (const QJsonValue back = o.value("back"); !back.isUndefined() && !back.isNull()) r.back = readBackTarget(back);
    if (const QJsonValue fb = o.value("frontBase"); !fb.isUndefined() && !fb.isNull()) r.frontBase = asString(fb, "frontBase");
    return r;
}

ScanRecord readRecord(const QJsonValue& json)
{
    const QJsonObject o = asObject(json, "record");
    ScanRecord r;
    r.id = asUuid(required(o, "id"), "id");
    r.base = asString(required(o, "base"), "base");
    const auto [cx, cy] = asPair(required(o, "center"), "center");
    const auto [w, h] = asPair(required(o, "size"), "size");
    r.center = QPointF(cx, cy);
    r.size = QSizeF(w, h);
    r.angle = asNumber(required(o, "angle"), "angle");
    r.date = asNumber(required(o, "date"), "date");
    r.session = asInteger(required(o, "session"), "session");
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
Decoded<T> decodeWith(const QJsonValue& json, T (*read)(const QJsonValue&))
{
    try {
        return {read(json), {}};
    } catch (const JsonError& e) {
        return {std::nullopt, e.message};
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
Decoded<std::vector<T>> decodeList(const QByteArray& bytes, T (*read)(const QJsonValue&))
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) return {std::nullopt, parseError.errorString()};
    if (!doc.isArray()) return {std::nullopt, "Expected an array."};
    try {
        std::vector<T> out;
        const QJsonArray array = doc.array();
        out.reserve(array.size());
        for (const QJsonValue& v : array) out.push_back(read(v));
        return {std::move(out), {}};
    } catch (const JsonError& e) {
        return {std::nullopt, e.message};
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

Decoded<BackTarget> decodeBackTarget(const QJsonValue& json) { return decodeWith(json, &readBackTarget); }
Decoded<ScanRegion> decodeRegion(const QJsonValue& json) { return decodeWith(json, &readRegion); }
Decoded<ScanRecord> decodeRecord(const QJsonValue& json) { return decodeWith(json, &readRecord); }

std::optional<QByteArray> encodeRegions(const std::vector<ScanRegion>& regions) { return encodeList(regions, &writeRegion); }
std::optional<QByteArray> encodeRecords(const std::vector<ScanRecord>& records) { return encodeList(records, &writeRecord); }
Decoded<std::vector<ScanRegion>> decodeRegions(const QByteArray& bytes) { return decodeList(bytes, &readRegion); }
Decoded<std::vector<ScanRecord>> decodeRecords(const QByteArray& bytes) { return decodeList(bytes, &readRecord); }
