#include "platform/sane/SaneScannerDevice.h"

#include <QTimer>

struct SaneScannerDevice::Worker {
    explicit Worker(const QString& name) : session(name) {}
    SaneSession session;
    std::unique_ptr<QTimer> buttons;  // created and deleted on the SANE thread
};

SaneScannerDevice::SaneScannerDevice(std::shared_ptr<SaneBackend> backend, QString saneName, QString displayName,
                                     std::chrono::milliseconds buttonPoll)
    : backend_(std::move(backend)),
      saneName_(std::move(saneName)),
      displayName_(std::move(displayName)),
        worker_(std::make_shared<Worker>(saneName_)),
      buttonPoll_(buttonPoll)
{
}

SaneScannerDevice::~SaneScannerDevice()
{
    worker_->session.requestCancel();
    // The session closes on the SANE thread, where its handle belongs.
    backend_->run([w = std::move(worker_)] {
        w->buttons.reset();
        w->session.close();
    });
}

namespace {

// Runs `message` with the device on the main thread, if the device still exists then. Jobs
// call this from the SANE thread, where the device itself must not be touched.
template <class F>
void send(SaneBackend* backend, const std::weak_ptr<SaneScannerDevice>& weak, F message)
{
    backend->post([weak, message = std::move(message)]() mutable {
        if (auto self = weak.lock()) message(*self);
    });
}

std::optional<CaptureError> asCaptureError(const std::optional<QString>& text)
{
    if (!text) return std::nullopt;
    return CaptureError{*text};
}

}  // namespace

void SaneScannerDevice::apply(const SaneCapabilities& caps)
{
    unitTypes_ = caps.unitTypes;
    // The capabilities are the device's; the next scan's parameters are the caller's.
    FunctionalUnit unit = caps.unit;
    unit.scanArea = unit_.scanArea;
    unit.resolution = unit_.resolution;
    unit.pixelDataType = unit_.pixelDataType;
    unit.bitDepth = unit_.bitDepth;
    unit_ = unit;
}

void SaneScannerDevice::requestOpenSession()
{
    backend_->run([b = backend_.get(), weak = weak_from_this(), w = worker_, poll = buttonPoll_] {
        auto error = w->session.open();
        SaneCapabilities caps;
        if (!error) {
            caps = w->session.capabilities();
            // Made here so that it fires on the SANE thread, and only while it is idle, which
            // is also when no scan runs.
            if (!w->buttons) {
                w->buttons = std::make_unique<QTimer>();
                w->buttons->setInterval(poll);
                QObject::connect(w->buttons.get(), &QTimer::timeout, w->buttons.get(), [b, weak, raw = w.get()] {
                    for (const QString& button : raw->session.pressedButtons())
                        send(b, weak, [button](SaneScannerDevice& d) {
                            if (auto* delegate = d.delegate()) delegate->didReceiveButtonPress(d, button);
                        });
                });
            }
            if (w->session.hasButtons()) w->buttons->start();
        }
        send(b, weak, [error, caps](SaneScannerDevice& d) {
            if (!error) d.apply(caps);
            if (auto* delegate = d.delegate())
                delegate->didOpenSession(d, asCaptureError(error));
        });
    });
}

void SaneScannerDevice::requestCloseSession()
{
    worker_->session.requestCancel();
    backend_->run([b = backend_.get(), weak = weak_from_this(), w = worker_] {
        if (w->buttons) w->buttons->stop();
        w->session.close();
        send(b, weak, [](SaneScannerDevice& d) {
            if (auto* delegate = d.delegate()) delegate->didCloseSession(d, std::nullopt);
        });
    });
}

void SaneScannerDevice::markRemoved()
{
    worker_->session.requestCancel();
    backend_->run([w = worker_] {
        if (w->buttons) w->buttons->stop();
        w->session.close();
    });
}

void SaneScannerDevice::requestSelectFunctionalUnit(int type)
{
    backend_->run([b = backend_.get(), weak = weak_from_this(), type, w = worker_] {
        auto error = w->session.selectUnit(type);
        const SaneCapabilities caps = w->session.isOpen() ? w->session.capabilities() : SaneCapabilities{};
        send(b, weak, [error, caps](SaneScannerDevice& d) {
            if (!caps.unitTypes.empty()) d.apply(caps);
            if (auto* delegate = d.delegate())
                delegate->didSelectFunctionalUnit(d, asCaptureError(error));
        });
    });
}

void SaneScannerDevice::setBackendOption(const QString& option, const QString& value)
{
    backend_->run([b = backend_.get(), weak = weak_from_this(), option, value, w = worker_] {
        w->session.setOption(option, value);
        if (!w->session.isOpen()) return;
        const SaneCapabilities caps = w->session.capabilities();
        send(b, weak, [caps](SaneScannerDevice& d) { d.apply(caps); });
    });
}

void SaneScannerDevice::requestScan()
{
    SaneScanJob job;
    job.area = unit_.scanArea;
    job.resolution = unit_.resolution;
    job.pixelDataType = unit_.pixelDataType;
    job.bitDepth = unit_.bitDepth;
    job.transferMode = transferMode;
    job.maxBandSize = maxMemoryBandSize;
    job.folder = downloadsDirectory;
    job.name = documentName;

    backend_->run([b = backend_.get(), weak = weak_from_this(), job, w = worker_] {
        SaneScanOutcome outcome;
        if (!w->session.isOpen()) {
            outcome.error = QString::fromUtf8(sane_strstatus(SANE_STATUS_INVAL));
        } else {
            outcome = w->session.scan(job, [b, weak](BandData band) {
                send(b, weak, [band = std::move(band)](SaneScannerDevice& d) {
                    if (auto* delegate = d.delegate()) delegate->didScanToBandData(d, band);
                });
            });
        }
        if (outcome.file)
            send(b, weak, [file = *outcome.file](SaneScannerDevice& d) {
                if (auto* delegate = d.delegate()) delegate->didScanToURL(d, file);
            });
        send(b, weak, [error = outcome.error](SaneScannerDevice& d) {
            if (auto* delegate = d.delegate())
                delegate->didCompleteScan(d, asCaptureError(error));
        });
    });
}
