#include "app/BivaraScannerApp.h"

int main(int argc, char** argv) { return BivaraScannerApp::run(argc, argv); }
