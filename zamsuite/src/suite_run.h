// Running the chosen compliance programs one after another, each in its own working folder.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "report.h"

namespace zamsuite {

struct run_plan {
  std::vector<std::string> programs;
  std::string programs_folder;  // where the program executables are
  // Where the shared libraries are. A program loads its driver interface library from its
  // current folder, so each working folder gets links to the libraries it loads.
  std::vector<std::string> library_folders;
  std::string dat_file;         // absolute
  std::string out_folder;       // absolute; gets one folder per program
  std::string station;          // absolute; empty: no lab of our own
  std::string zamsim;           // the lab program, when a station is given
  // Absolute; when not empty the link-width program runs once on each of these stations
  // (the station's placement stations) instead of on `station`.
  std::vector<std::string> link_width_stations;
  unsigned timeout_s = 600;
};

// Runs every program of the plan, printing a progress line per program to `progress`, and
// returns one case per program in plan order. Once this process is asked to stop
// (platform::catch_stop_signals), the running program's group is ended, its lab stopped, and
// the programs after it are returned as not run.
std::vector<case_result> run_programs(const run_plan& plan, std::ostream& progress);

}  // namespace zamsuite
