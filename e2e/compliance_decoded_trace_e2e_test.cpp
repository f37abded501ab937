// The data-link programs' traces decoded: each program runs on a fresh lab, on the compliant
// DUT of the default station and, for three programs, on a DUT with the fault that program
// catches; zamtrace decodes the trace dump of its XML log, and the listing (times,
// directions, sequence numbers and the card's marks included: the lab runs in virtual time,
// so nothing is masked) equals e2e/golden/decoded/<program>[.<fault>].txt. Each listing shows
// the exchange that decided the verdict (the Nak and the replay, or the replay missing; the
// duplicate and the DUT's answer; the bad DLLP and the DUT's error message or its silence).
// VEXO_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "golden.h"
#include "lab_fixture.h"
#include "station_files.h"

namespace e2e {
namespace {

struct decoded_case {
  const char* program;
  const char* fault;  // nullptr: the compliant DUT
};

// How a case shows in test listings: the program and its DUT, not the structure's bytes.
void PrintTo(const decoded_case& c, std::ostream* out) {
  *out << c.program << " on " << (c.fault ? c.fault : "the compliant DUT");
}

class DecodedTrace : public LabTest, public ::testing::WithParamInterface<decoded_case> {};

TEST_P(DecodedTrace, ListingOfTheProgramsTraceDump) {
  const decoded_case& c = GetParam();
  std::string station = "default.station";
  if (c.fault != nullptr) {
    const std::string stations =
        std::filesystem::temp_directory_path() / ("decoded_trace_" + std::to_string(::getpid()));
    std::filesystem::create_directories(stations);
    station = station_with_fault("default", c.fault, stations);
  }
  start_lab(station);
  const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
  const std::string log = folder_ + "/" + c.program + ".xml";
  int code = -1;
  const std::string out = capture("cd " + bin + " && ZAM_OPERATOR=lab ZAM_TIME_SCALE=0.01 ZAMSIM_SOCKET=" + socket_ +
                                      " ./" + c.program + " -d " + std::string(SAMPLE_DAT) + " -l " + log + " 2>&1",
                                  &code);
  EXPECT_EQ(code, c.fault == nullptr ? 0 : 6) << out;
  int decode_code = -1;
  const std::string listing = capture(std::string(ZAMTRACE_EXE) + " " + log, &decode_code);
  EXPECT_EQ(decode_code, 0) << listing;
  const std::string name = std::string("decoded/") + c.program + (c.fault ? std::string(".") + c.fault : "") + ".txt";
  EXPECT_TRUE(vexo_test::matches_golden(name, listing));
}

const decoded_case cases[] = {
    {"LinkRetrainOnRetryFail_EP_USW", nullptr},
    {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", nullptr},
    {"UndefinedDLLPEncoding_EP_USW", nullptr},
    {"ReXmitOnNak_EP_USW", nullptr},
    {"ReplayNumTest_EP_USW", nullptr},
    {"ReplayTimerTest_EP_USW", nullptr},
    {"ReplayTLPOrder_EP_USW", nullptr},
    {"ReservedFieldsDLLPReceive_EP_USW", nullptr},
    {"WrongSeqNumInAckDLLP_EP_USW", nullptr},
    {"CorruptedDLLPs_EP_USW", nullptr},
    {"DuplicateTLPSeqNum_EP_USW", nullptr},
    {"BadLCRC_EP_USW", nullptr},
    {"ReXmitOnNak_EP_USW", "no-replay-on-nak"},
    {"DuplicateTLPSeqNum_EP_USW", "accepts-duplicates"},
    {"CorruptedDLLPs_EP_USW", "ignores-bad-dllp"},
};

INSTANTIATE_TEST_SUITE_P(DataLinkPrograms, DecodedTrace, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<decoded_case>& info) {
                           std::string name = info.param.program;
                           if (info.param.fault) name += std::string("_on_") + info.param.fault;
                           for (char& ch : name) ch = ch == '-' ? '_' : ch;
                           return name;
                         });

}  // namespace
}  // namespace e2e
