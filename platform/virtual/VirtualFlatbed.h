#pragma once

// The virtual flatbed: a scanner of the capture layer that needs no hardware. "Virtual
// Flatbed", id "virtual:flatbed", one flatbed unit of 8.5 × 11.7 inches, resolutions 75 to
// 1200 dpi, depths 1, 8 and 16; in-memory bands and PNG files like a real scanner. What lies
// on its bed is a VirtualBed; a finished region scan turns it over.
//
// It scans at a believable pace (a 75-dpi overview's bands over about two seconds, then about
// a second of returning to rest), or at once with BIVARA_VIRTUAL_SPEED=instant. Pictures are
// painted and files encoded off the main thread. Tests inject faults through `faults`.

#include "platform/capture/ScannerDevice.h"
#include "platform/virtual/VirtualBed.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

struct VirtualFaults {
    bool failOpen = false;           // every session open fails
    bool removeMidScan = false;      // the next scan stops halfway and the device goes away
    bool errorAtCompletion = false;  // scans complete with an error
    bool noImage = false;            // scans complete without bands or a file
};

struct VirtualPace {
    std::chrono::milliseconds bands{2000};  // the overview's bands, spread over this
    std::chrono::milliseconds rest{1000};   // returning to rest after the last band
    std::chrono::milliseconds file{1500};   // a scan to a file

    static VirtualPace instant() { return {std::chrono::milliseconds(0), std::chrono::milliseconds(0), std::chrono::milliseconds(0)}; }
    // Instant when BIVARA_VIRTUAL_SPEED is "instant".
    static VirtualPace fromEnvironment();
};

class VirtualFlatbed final : public ScannerDevice, public std::enable_shared_from_this<VirtualFlatbed> {
public:
    static constexpr const char* deviceID = "virtual:flatbed";
    static constexpr const char* deviceName = "Virtual Flatbed";
    static constexpr const char* faultText = "The virtual scanner jammed";
    static constexpr const char* openFaultText = "The virtual scanner is switched off";

    explicit VirtualFlatbed(VirtualBed bed = VirtualBed::fromEnvironment(), VirtualPace pace = VirtualPace::fromEnvironment());
    ~VirtualFlatbed() override;

    QString persistentIDString() const override { return deviceID; }
    QString name() const override { return deviceName; }

    void requestOpenSession() override;
    void requestCloseSession() override;

    std::vector<int> availableFunctionalUnitTypes() const override;
    FunctionalUnit& selectedFunctionalUnit() override { return unit_; }
    void requestSelectFunctionalUnit(int type) override;

    void requestScan() override;

    // Someone pressed the scan button on the device.
    void pressButton();

    VirtualFaults faults;
    // Set by the browser that lists the device: announces that it went away.
    std::function<void()> onRemoved;

    const VirtualBed& bed() const { return bed_; }
    bool isOpen() const { return open_; }
    int scansStarted() const { return scansStarted_; }

private:
    struct Job;
    // The steps of a scan; each runs only while its scan is still the device's current one.
    void start(int generation, std::shared_ptr<const Job> job);
    void sendBands(int generation, std::shared_ptr<const Job> job, QImage image, int band);
    void writeFile(int generation, std::shared_ptr<const Job> job, QImage image);
    void complete(const std::optional<CaptureError>& error);
    void removeNow();
    void after(std::chrono::milliseconds delay, int generation, std::function<void(VirtualFlatbed&)> step);
    template <class T>
    void offThread(int generation, std::function<T()> work, std::function<void(VirtualFlatbed&, T)> then);
    // The device, if it still exists and the scan of `generation` is still its current one.
    static std::shared_ptr<VirtualFlatbed> current(const std::weak_ptr<VirtualFlatbed>& weak, int generation);
    static std::optional<CaptureError> faultAtEnd(const Job& job);
    void later(std::function<void(VirtualFlatbed&)> message);

    VirtualBed bed_;
    VirtualPace pace_;
    FunctionalUnit unit_;
    bool open_ = false;
    int generation_ = 0;
    int scansStarted_ = 0;
    QObject context_;
};
