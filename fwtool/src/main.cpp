// fwtool: tests a platform firmware's PCI Express enumeration through the test card.
#include "fwtool_app.h"

int main(int argc, char* argv[]) { return fwtool::run_fwtool(argc, argv); }
