// Lab station files for end-to-end tests: a station of zamsim/stations with the DUT given
// faults, written where a test wants it.
#pragma once

#include <string>

namespace e2e {

// Writes <folder>/<fault>.station: zamsim/stations/<station>.station with "Fault = <fault>"
// in its [DUT] section and its topology named by absolute path. Returns the file's path.
std::string station_with_fault(const std::string& station, const std::string& fault, const std::string& folder);

}  // namespace e2e
