// The link-width program judges a DUT plugged straight into a root port, which a station
// that puts the card between the two cannot show. Such a station names, in
// `[Suite] LinkWidthStations` (comma-separated, relative to its own folder), the stations
// that place the same DUT in root port slots; the program's campaign runs on them, one after
// another, in its working folder.
#pragma once

#include <string>
#include <vector>

namespace zamsuite {

inline constexpr const char* link_width_program = "TXN_BFT_NegotiatedLinkWidth";
inline constexpr const char* link_width_campaign_file = "TXN_BFT_NegotiatedLinkWidth.ini";

// The placement stations `station` names, as absolute paths; none when it names none. False
// with `error` set when a named station cannot be read.
bool placement_stations(const std::string& station, std::vector<std::string>* out, std::string* error);

// Writes `placed`: the placement station with its topology scripts named by absolute path and
// the DUT's own settings ([DUT] Fault, MaxWidth, NegotiatedWidth) taken from `station`, the
// same device moved to another slot. False with `error` set when a file cannot be read or
// written.
bool write_placed_station(const std::string& placement, const std::string& station, const std::string& placed,
                          std::string* error);

}  // namespace zamsuite
