#pragma once

// The application: its names, its look, and the one window over the system's scanners.

namespace BivaraScannerApp {
inline constexpr const char* desktopID = "org.bivara.Scanner";
int run(int argc, char** argv);
}  // namespace BivaraScannerApp
