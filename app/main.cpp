#include "app/BivaraScannerApp.h"
#include "platform/sane/SaneBackend.h"

int main(int argc, char** argv) { return SaneBackend::endProcess(BivaraScannerApp::run(argc, argv)); }
