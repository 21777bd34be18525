#pragma once

#include <QString>
#include <QUuid>

// What a back-side region is paired with. A tagged union of three variants:
//   Auto     pair automatically with the nearest unclaimed front of the latest batch
//   Region   paired by hand with the front region of that id on the current bed
//   History  paired with the remembered front (a history record) of that base name
struct BackTarget {
    enum class Kind { Auto, Region, History };

    Kind kind = Kind::Auto;
    QUuid regionID;  // Region only
    QString base;    // History only

    static BackTarget automatic() { return {}; }
    static BackTarget region(const QUuid& id) { return {Kind::Region, id, {}}; }
    static BackTarget history(const QString& base) { return {Kind::History, {}, base}; }

    friend bool operator==(const BackTarget& a, const BackTarget& b) {
        if (a.kind != b.kind) return false;
        switch (a.kind) {
        case Kind::Auto: return true;
        case Kind::Region: return a.regionID == b.regionID;
        case Kind::History: return a.base == b.base;
        }
        return false;
    }
};
