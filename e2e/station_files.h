// Lab station files for end-to-end tests: a station of zamsim/stations with the DUT given
// faults, written where a test wants it.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// Writes <folder>/<fault>.station: zamsim/stations/<station>.station with "Fault = <fault>"
// in its [DUT] section and its topology named by absolute path. Returns the file's path.
std::string station_with_fault(const std::string& station, const std::string& fault, const std::string& folder);

// Makes <work> a working folder of the link width program (its campaign file goes into the
// folder it runs in): the files of <bin> linked in (the program and the libraries it loads
// from its folder), ini/KALIXapp.ini naming the driver library and run.dat naming that ini
// folder and the DUT of the slot stations.
void write_slot_folder(const std::string& work, const std::string& bin, const std::vector<std::string>& files);

}  // namespace e2e
