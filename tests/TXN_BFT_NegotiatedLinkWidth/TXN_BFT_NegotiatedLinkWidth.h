// TXN_BFT_NegotiatedLinkWidth: the run, callable from the program and from tests.
#pragma once

#include <source_location>

#include "vexo.h"

VEXO_STATUS_t run_negotiated_link_width(
    int argc, char* argv[], std::source_location where = std::source_location::current());
