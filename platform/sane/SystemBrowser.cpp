#include "platform/sane/SystemBrowser.h"

#include "platform/sane/SaneBrowser.h"
#include "platform/virtual/VirtualBrowser.h"

std::unique_ptr<DeviceBrowser> makeSystemBrowser()
{
    auto sane = std::make_unique<SaneBrowser>();
    if (qEnvironmentVariableIsSet("BIVARA_VIRTUAL_SCANNER")) return std::make_unique<VirtualBrowser>(std::move(sane));
    return sane;
}
