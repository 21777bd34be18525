#pragma once

// Readable GoogleTest failure messages for Qt values.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <optional>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QUuid& id, std::ostream* os) { *os << id.toString(QUuid::WithoutBraces).toStdString(); }
inline void PrintTo(QPointF p, std::ostream* os) { *os << '(' << p.x() << ", " << p.y() << ')'; }
inline void PrintTo(QSizeF s, std::ostream* os) { *os << s.width() << "×" << s.height(); }
inline void PrintTo(const QRectF& r, std::ostream* os) { *os << '(' << r.x() << ", " << r.y() << ") " << r.width() << "×" << r.height(); }
