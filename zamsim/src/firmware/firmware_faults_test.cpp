// The firmware's faults against the engine's enumeration checks, on the firmware test
// catalogue's scripts, without the card's USB path: each fault trips exactly its check.
#include "firmware/firmware.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "lattix/enumeration_checks.h"
#include "base/lattix_hierarchy.h"

namespace zamsim {
namespace {

enum check { buses, overlap, windows, enables, aspm };
const char* const check_names[] = {"bus numbers", "BAR overlap", "bridge windows", "enables", "ASPM"};

// Which of the engine's checks report something after the firmware ran.
std::set<check> failing_checks(hierarchy& tree) {
  packetHandler* handler = packet_handler_of(tree);
  std::set<check> failed;
  if (findBusEnumerationError(handler).errorFound) failed.insert(buses);
  overlapDataObj* overlaps = findBarOverlap(handler, true);
  if (overlaps != nullptr) failed.insert(overlap);
  releaseOverlapList(overlaps);
  for (auto type : {IO_WINDOW, MEM_WINDOW, PREFETCH_WINDOW}) {
    if (FindBridgeWindowError(handler, type, true).errorFound) failed.insert(windows);
  }
  std::vector<_MEM_IO_ENABLE_FAIL_DATA>* enable_list = nullptr;
  FindMemIOEnables(handler, &enable_list, true, true);
  if (enable_list != nullptr && !enable_list->empty()) failed.insert(enables);
  std::vector<_ASPM_ENABLE_FAIL_DATA>* aspm_list = nullptr;
  FindASPMEnables(handler, &aspm_list);
  if (aspm_list != nullptr && !aspm_list->empty()) failed.insert(aspm);
  return failed;
}

std::string describe(const std::set<check>& checks) {
  std::string text;
  for (check c : checks) text += std::string(text.empty() ? "" : ", ") + check_names[c];
  return text.empty() ? "none" : text;
}

// Runs the firmware with `faults` over one catalogue script.
std::set<check> run_case(const std::string& script, const firmware_faults& faults) {
  std::string error;
  auto tree = make_lattix_hierarchy(script, error);
  EXPECT_TRUE(tree) << error;
  if (!tree) return {};
  firmware_options options;
  options.memory_limit = 0xFEBFFFFFu;
  options.faults = faults;
  options.pause = [](uint32_t) {};
  EXPECT_TRUE(run_firmware(*tree, options).ok) << script;
  return failing_checks(*tree);
}

std::vector<std::string> catalogue() {
  std::vector<std::string> scripts;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(ZAMSIM_CATALOGUE)) {
    if (entry.path().extension() == ".test") scripts.push_back(entry.path().string());
  }
  std::sort(scripts.begin(), scripts.end());
  return scripts;
}

// Cases a correct firmware cannot pass: their requests do not fit below 4 GB.
bool cannot_fit(const std::string& script) {
  return script.find("Case_2_12_") != std::string::npos || script.find("Case_2_15_") != std::string::npos;
}

TEST(FirmwareFaultsTest, NamesParseOneFlagEach) {
  firmware_faults faults;
  std::string error;
  EXPECT_TRUE(parse_firmware_faults(" aspm-left-on ,no-crs-retry,, ", faults, error));
  EXPECT_TRUE(faults.aspm_left_on);
  EXPECT_TRUE(faults.no_crs_retry);
  EXPECT_FALSE(faults.memory_enable_off);
  EXPECT_FALSE(parse_firmware_faults("bars-4k-aligned, bars-8k-aligned", faults, error));
  EXPECT_EQ(error, "unknown fault \"bars-8k-aligned\"");
  EXPECT_EQ(firmware_fault_names().size(), 10u);
}

TEST(FirmwareFaultsTest, CorrectFirmwarePassesTheCatalogue) {
  const auto scripts = catalogue();
  ASSERT_EQ(scripts.size(), 42u);
  for (const auto& script : scripts) {
    const auto failed = run_case(script, firmware_faults{});
    if (cannot_fit(script)) {
      EXPECT_FALSE(failed.empty()) << script;
    } else {
      EXPECT_TRUE(failed.empty()) << script << ": " << describe(failed);
    }
  }
}

// Every fault, over the whole catalogue: the cases it touches fail its check only, and
// the named cases are among them.
TEST(FirmwareFaultsTest, EachFaultTripsOnlyItsCheck) {
  struct expectation {
    const char* name;
    check caught_by;
    const char* touched;  // a case the fault must fail
    // What else may follow from it: a misnumbered bus misroutes the firmware's later
    // requests (so anything below it comes out wrong); a BAR placed below its alignment
    // may spill out of the window sized for it. The other faults trip their check alone.
    std::set<check> also = {};
  };
  const expectation table[] = {
      {"no-subordinate-fixup", buses, "Case_3_1_Nine_Port_Switch_No_Requests", {overlap, windows, enables}},
      {"reuse-secondary-bus", buses, "Case_3_1_Nine_Port_Switch_No_Requests", {overlap, windows, enables}},
      {"bars-4k-aligned", overlap, "Case_2_7_Various_Mem32", {windows}},
      {"mem64-as-two-mem32", overlap, "Case_2_10_Mem64"},
      {"no-pointer-advance", overlap, "Case_2_6_Lots_256b_Mem32"},
      {"window-one-short", windows, "Case_3_4_Bridge_With_Mem32"},
      {"empty-window-open", windows, "Case_3_2_Nine_Port_Switch_Various_Requests"},
      {"memory-enable-off", enables, "Case_2_2_Simple"},
      {"aspm-left-on", aspm, "Case_9_1_ASPM_L1_Single_Device_Mismatch"},
  };
  const auto scripts = catalogue();
  for (const auto& e : table) {
    firmware_faults faults;
    std::string error;
    ASSERT_TRUE(parse_firmware_faults(e.name, faults, error));
    int touched = 0;
    bool named_case_failed = false;
    for (const auto& script : scripts) {
      if (cannot_fit(script)) continue;
      const auto failed = run_case(script, faults);
      if (failed.empty()) continue;
      ++touched;
      for (check c : failed) {
        EXPECT_TRUE(c == e.caught_by || e.also.count(c)) << e.name << " on " << script << ": " << describe(failed);
      }
      if (script.find(e.touched) != std::string::npos) named_case_failed = failed.count(e.caught_by) > 0;
    }
    EXPECT_TRUE(named_case_failed) << e.name << " did not fail " << e.touched;
    EXPECT_GT(touched, 0) << e.name;
  }
}

}  // namespace
}  // namespace zamsim
