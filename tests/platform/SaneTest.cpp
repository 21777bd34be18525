// SANE's browser finds the test backend and says when it has looked everywhere. The engine
// over SANE is tested with the other scanners, in the engine contract.

#include "SaneTestSupport.h"

#include "platform/sane/SaneBrowser.h"
#include "support/ScriptedEngine.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class Recorder final : public DeviceBrowserDelegate {
public:
    std::vector<std::shared_ptr<ScannerDevice>> added;
    int enumerated = 0;
    void didAddDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>& d, bool) override { added.push_back(d); }
    void didRemoveDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>&, bool) override {}
    void requestsSelectDevice(DeviceBrowser&, const std::shared_ptr<ScannerDevice>&) override {}
    void didEnumerateLocalDevices(DeviceBrowser&) override { ++enumerated; }
};

}  // namespace

TEST(SaneDiscovery, findsTheTestBackendByNameWithVendorAndModel)
{
    useTestBackend();
    Recorder recorder;
    SaneBrowser browser;
    browser.setDelegate(&recorder);
    browser.start();
    ASSERT_TRUE(spinUntil([&] { return recorder.enumerated == 1; }, 10s));
    ASSERT_EQ(recorder.added.size(), 1u);
    EXPECT_EQ(recorder.added[0]->persistentIDString(), "test:0");
    EXPECT_EQ(recorder.added[0]->name(), "Noname frontend-tester");
    browser.stop();
    browser.setDelegate(nullptr);
}
