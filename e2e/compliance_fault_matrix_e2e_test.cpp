// The DUT's fault options of the lab against the twelve data-link programs and the two
// transaction card programs on the default station, and the link width program on a placement
// station: each fault fails exactly the programs that should catch it (exit 6 and their FAILED
// verdict), every other program passes, zamsuite judges each run the same way, and the
// matrix of zam-lab(7) says the same. Each run is on a fresh lab whose station names the fault;
// the lab's virtual operator answers the prompts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "compliance_matrix.h"
#include "lab_fixture.h"
#include "program_verdict.h"
#include "station_files.h"

namespace e2e {
namespace {

class ComplianceFaultMatrix : public LabTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // Exit code and log of the link width program on the x4 slot station with the fault, in a
  // working folder of its own (its campaign file goes there).
  int run_in_slot(const std::string& fault, const std::string& folder, std::string* log_text,
                  zamsuite::case_result* judged) {
    const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
    const std::string work = folder + "/slot-" + fault;
    write_slot_folder(work, bin, {"libPellor.so", slot_program});
    start_lab(station_with_fault("dut-slot3", fault, work));
    int code = -1;
    capture("cd " + work + " && ZAMSIM_SOCKET=" + socket_ + " ./" + slot_program + " -d run.dat -l run.xml 2>&1",
            &code);
    *log_text = slurp(work + "/run.xml");
    zamsuite::process_end end;
    end.exit_code = code;
    *judged = zamsuite::judge_program(slot_program, end, zamsuite::read_program_log(work + "/run.xml"));
    return code;
  }
};

TEST_P(ComplianceFaultMatrix, FailsExactlyTheProgramsThatShouldCatchTheFault) {
  const std::string fault = GetParam();
  const std::vector<std::string>& failures = expected_failures.at(fault);
  const std::string stations = std::filesystem::temp_directory_path() / ("fault_matrix_" + std::to_string(::getpid()));
  std::filesystem::create_directories(stations);
  const std::string station = station_with_fault("default", fault, stations);
  const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
  for (const char* program : programs) {
    start_lab(station);
    const std::string log = folder_ + "/" + program + ".xml";
    int code = -1;
    const std::string out =
        capture("cd " + bin + " && ZAM_TIME_SCALE=0.01 ZAM_OPERATOR=lab ZAMSIM_SOCKET=" + socket_ + " ./" + program + " -d " +
                    std::string(SAMPLE_DAT) + " -l " + log + " 2>&1",
                &code);
    const std::string text = slurp(log);
    const bool should_fail = std::find(failures.begin(), failures.end(), program) != failures.end();
    EXPECT_EQ(code, should_fail ? 6 : 0) << fault << " " << program << "\n" << out;
    // A failing program's verdict entry: FAILED, or a WARNING entry saying FAIL (the completion
    // timeout program writes some of its failures at that level).
    const bool verdict_found = should_fail ? text.find("status = \"FAILED\"") != std::string::npos ||
                                                 text.find("status = \"WARNING\">\nFAIL") != std::string::npos
                                           : text.find("status = \"SUCCESS\"") != std::string::npos;
    EXPECT_TRUE(verdict_found)
        << fault << " " << program;
    // The suite runner reads the same run as the program meant it.
    zamsuite::process_end end;
    end.exit_code = code;
    const zamsuite::case_result judged = zamsuite::judge_program(program, end, zamsuite::read_program_log(log));
    EXPECT_STREQ(zamsuite::verdict_name(judged.outcome), should_fail ? "failed" : "passed")
        << fault << " " << program << ": " << judged.reason;
    LabTest::TearDown();
    socket_.clear();
    folder_.clear();
  }
  std::string text;
  zamsuite::case_result judged;
  const bool should_fail = std::find(failures.begin(), failures.end(), slot_program) != failures.end();
  EXPECT_EQ(run_in_slot(fault, stations, &text, &judged), should_fail ? 6 : 0) << fault << "\n" << text;
  EXPECT_NE(text.find(should_fail ? "status = \"FAILED\">\nFAIL - " : "status = \"SUCCESS\">\nSUCCESS - "),
            std::string::npos)
      << fault << "\n" << text;
  EXPECT_STREQ(zamsuite::verdict_name(judged.outcome), should_fail ? "failed" : "passed")
      << fault << " " << slot_program << ": " << judged.reason;
  std::filesystem::remove_all(stations);
}

// The matrix of zam-lab(7) (docs/zam-lab.7.md): per fault, the programs of this matrix it names before any remark in
// brackets.
std::map<std::string, std::vector<std::string>> documented_matrix() {
  std::map<std::string, std::vector<std::string>> rows;
  std::istringstream page(slurp(FAULT_MATRIX_FILE));
  std::string line;
  bool in_table = false;
  while (std::getline(page, line)) {
    if (line == "| fault | programs that must FAIL |") in_table = true;
    if (!in_table) continue;
    if (line.rfind("| `", 0) != 0) {
      if (!rows.empty()) break;
      continue;
    }
    const std::size_t name_end = line.find('`', 3);
    const std::string fault = line.substr(3, name_end - 3);
    std::string named = line.substr(line.find('|', name_end) + 1);
    named = named.substr(0, named.find('('));
    std::vector<std::string>& listed = rows[fault];
    for (const char* program : programs) {
      if (named.find(std::string("`") + program + "`") != std::string::npos) listed.push_back(program);
    }
    if (named.find(std::string("`") + slot_program + "`") != std::string::npos) listed.push_back(slot_program);
  }
  return rows;
}

TEST(ComplianceFaultMatrixDocs, NamesTheSameFailuresAsTheMatrix) {
  const auto rows = documented_matrix();
  ASSERT_EQ(rows.size(), expected_failures.size());
  for (const auto& [fault, failures] : expected_failures) {
    ASSERT_EQ(rows.count(fault), 1u) << fault;
    std::vector<std::string> want = failures, got = rows.at(fault);
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want) << fault;
  }
}

std::vector<std::string> faults() {
  std::vector<std::string> names;
  for (const auto& [name, failures] : expected_failures) names.push_back(name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(DutFaults, ComplianceFaultMatrix, ::testing::ValuesIn(faults()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace e2e
