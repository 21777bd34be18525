#pragma once

#include <QUuid>

// A manual link the user has started and not yet finished.
struct PendingLink {
    QUuid sourceID;         // the region the link started on
    bool wantFront = false; // true: the source is a back and a front must be clicked next

    friend bool operator==(const PendingLink&, const PendingLink&) = default;
};
