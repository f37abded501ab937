// Lab station files for end-to-end tests.
#include "station_files.h"

#include <filesystem>
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

void write_slot_folder(const std::string& work, const std::string& bin, const std::vector<std::string>& files) {
  std::filesystem::create_directories(work + "/ini");
  for (const std::string& file : files) std::filesystem::create_symlink(bin + "/" + file, work + "/" + file);
  std::ofstream(work + "/ini/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
  std::ofstream(work + "/run.dat") << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                                   << "  <VEXOINIFilePath p=\"" << work << "/ini\"/>\n"
                                   << "  <VEXOINIFileName n=\"KALIXapp.ini\"/>\n"
                                   << "  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n</VexoDat>\n";
}

}  // namespace e2e
