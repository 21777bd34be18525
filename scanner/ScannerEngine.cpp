#include "scanner/ScannerEngine.h"

QString description(ScanError error)
{
    switch (error) {
    case ScanError::notConnected: return "Scanner not connected";
    case ScanError::noImage: return "Scanner returned no image";
    case ScanError::timeout: return "Timed out waiting for the scanner";
    case ScanError::busy: return "Scanner is already scanning";
    }
    return {};
}

ScanFailure::ScanFailure(ScanError error) : ScanFailure(error, ::description(error)) {}

ScanFailure ScanFailure::service(const QString& description) { return ScanFailure(std::nullopt, description); }

ScanFailure::ScanFailure(std::optional<ScanError> error, QString description)
    : error_(error), description_(std::move(description)), utf8_(description_.toUtf8())
{
}

QString failureDescription(const std::exception& e)
{
    if (const auto* failure = dynamic_cast<const ScanFailure*>(&e)) return failure->description();
    return QString::fromUtf8(e.what());
}
