#pragma once

// The browser the application uses: SANE's devices, and the virtual flatbed beside them when
// the environment variable BIVARA_VIRTUAL_SCANNER is set.

#include "platform/capture/DeviceBrowser.h"

#include <memory>

std::unique_ptr<DeviceBrowser> makeSystemBrowser();
