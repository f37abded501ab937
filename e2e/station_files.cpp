// Lab station files for end-to-end tests.
#include "station_files.h"

#include <fstream>
#include <sstream>

namespace e2e {

std::string station_with_fault(const std::string& station, const std::string& fault, const std::string& folder) {
  std::ifstream in(std::string(ZAMSIM_STATIONS) + "/" + station + ".station");
  std::stringstream text;
  text << in.rdbuf();
  std::string content = text.str();
  const std::string topology = "Topology = " + station + ".test";
  content.replace(content.find(topology), topology.size(),
                  "Topology = " + std::string(ZAMSIM_STATIONS) + "/" + station + ".test");
  content.replace(content.find("[DUT]\n"), 6, "[DUT]\nFault = " + fault + "\n");
  const std::string path = folder + "/" + fault + ".station";
  std::ofstream(path) << content;
  return path;
}

}  // namespace e2e
