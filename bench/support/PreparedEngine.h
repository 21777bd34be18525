#pragma once

// An engine for benchmarks of the model: it "scans" by handing over a file prepared before
// the timing starts, so that what is measured is the model's own work.

#include "scanner/ScannerEngine.h"

#include <QFile>

class PreparedEngine : public ScannerEngine {
public:
    ScannerInfo info;
    // Linked to the requested name on every region scan.
    QString masterTemplate;

    std::vector<ScannerChoice> scannerChoices() const override { return {{"bench", "Bench"}}; }
    std::optional<QString> activeScannerID() const override { return QString("bench"); }
    void selectScanner(const QString&) override {}
    QCoro::Task<ScannerInfo> connect() override { co_return ScannerInfo(info); }
    QCoro::Task<QImage> captureOverview(std::function<void(const QImage&)>) override
    {
        throw ScanFailure(ScanError::noImage);
        co_return {};
    }
    QCoro::Task<QString> scanRegion(QRectF, ScanSettings, QString folder, QString name) override
    {
        QString file = folder + "/" + name + ".png";
        QFile::remove(file);
        if (!QFile::link(masterTemplate, file) && !QFile::copy(masterTemplate, file)) throw ScanFailure(ScanError::noImage);
        co_return file;
    }
    void disconnect() override {}
};
