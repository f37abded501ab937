// Reading a station's placement stations and writing a placed copy of one.
#include "placement_stations.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "platform/fs.h"
#include "platform/profile.h"
#include "report.h"

namespace zamsuite {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string folder_of(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

// A path named in a station file, from the station's folder when it is relative.
std::string from_station(const std::string& station, const std::string& name) {
  const std::string native = platform::native_path(name);
  return platform::is_absolute_path(native) ? native : platform::join_path(folder_of(station), native);
}

}  // namespace

bool placement_stations(const std::string& station, std::vector<std::string>* out, std::string* error) {
  out->clear();
  const std::string list = platform::read_profile_string("Suite", "LinkWidthStations", "", station);
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = trimmed(list.substr(start, comma - start));
    start = comma + 1;
    if (name.empty()) continue;
    const std::string path = from_station(station, name);
    if (!platform::can_open_for_reading(path)) {
      *error = "cannot read the placement station " + path + " named by [Suite] LinkWidthStations in " + station;
      return false;
    }
    out->push_back(path);
  }
  return true;
}

bool write_placed_station(const std::string& placement, const std::string& station, const std::string& placed,
                          std::string* error) {
  std::string text;
  if (!platform::read_text_file(placement, &text, error)) {
    *error = "cannot read " + placement + ": " + *error;
    return false;
  }
  if (!write_report(placed, text, error)) return false;
  bool written = true;
  // The copy lives elsewhere: its scripts are named from the placement station's folder.
  for (const auto& [section, key] : {std::pair{"Station", "Topology"}, std::pair{"SUT", "RootComplex"}}) {
    const std::string script = platform::read_profile_string(section, key, "", placement);
    if (script.empty()) continue;
    written = written && platform::write_profile_string(section, key, from_station(placement, script), placed);
  }
  // An absent key and an empty one mean the same to the lab, so the DUT's value is copied as it is.
  for (const char* key : {"Fault", "MaxWidth", "NegotiatedWidth"}) {
    written = written && platform::write_profile_string("DUT", key, platform::read_profile_string("DUT", key, "", station), placed);
  }
  if (!written) *error = "cannot write " + placed;
  return written;
}

}  // namespace zamsuite
