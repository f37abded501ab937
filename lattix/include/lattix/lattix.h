// All public headers of the Lattix topology simulation engine.
#pragma once

#include "lattix/bus.h"
#include "lattix/config_space.h"
#include "lattix/device.h"
#include "lattix/enumeration_checks.h"
#include "lattix/packet_handler.h"
#include "lattix/script_parser.h"
#include "lattix/status.h"
#include "lattix/topology.h"
#include "lattix/topology_iterator.h"
#include "lattix/types.h"
