#pragma once

// JSON forms of the records, the format of every state file in an output folder.
//
//   ScanRegion   {"id", "name", "center", "size", "angle"} plus "back" and "frontBase" when present
//   BackTarget   {"auto": {}} | {"region": {"_0": UUID}} | {"history": {"_0": base}}
//   ScanRecord   {"id", "base", "center", "size", "angle", "date", "session"}, all required
//
// UUIDs are canonical upper-case 8-4-4-4-12 strings, points and sizes arrays of exactly two
// numbers, timestamps seconds since 2001-01-01 UTC. A number that is not finite cannot be
// written, and one bad element makes a whole list unreadable.

#include "model/ScanRecord.h"
#include "model/ScanRegion.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <vector>

QString uuidText(const QUuid& id);
std::optional<QUuid> uuidFromText(const QString& text);

// Encoding fails (nullopt) only when a number is not finite; decoding fails on anything malformed.
std::optional<QJsonValue> encodeBackTarget(const BackTarget& target);
std::optional<QJsonValue> encodeRegion(const ScanRegion& region);
std::optional<QJsonValue> encodeRecord(const ScanRecord& record);

std::optional<BackTarget> decodeBackTarget(const QJsonValue& json);
std::optional<ScanRegion> decodeRegion(const QJsonValue& json);
std::optional<ScanRecord> decodeRecord(const QJsonValue& json);

// Whole files: a JSON array, pretty-printed with sorted keys.
std::optional<QByteArray> encodeRegions(const std::vector<ScanRegion>& regions);
std::optional<QByteArray> encodeRecords(const std::vector<ScanRecord>& records);
std::optional<std::vector<ScanRegion>> decodeRegions(const QByteArray& bytes);
std::optional<std::vector<ScanRecord>> decodeRecords(const QByteArray& bytes);
