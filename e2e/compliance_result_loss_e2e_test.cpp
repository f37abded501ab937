// Every compliance program whose result cannot be kept ends non-zero and says which file and
// why: an XML log that does not open (no -l, an empty one, a missing folder, a folder in its
// place, a refused open), one whose writes fail (a full disk) and one whose close fails after
// a run that passed. Failures are planned through ZAM_FILE_FAULTS, as the platform layer
// reads it, so the real programs run unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"
#include "platform/process.h"

namespace e2e {
namespace {

// The fifteen programs, each with a station on which it passes.
struct program_case {
  const char* program;
  const char* station;
  bool link_setup;  // the data-link set-up prints its "cannot create log" line
};
const program_case programs[] = {
    {"LinkRetrainOnRetryFail_EP_USW", "default.station", true},
    {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", "default.station", true},
    {"UndefinedDLLPEncoding_EP_USW", "default.station", true},
    {"ReXmitOnNak_EP_USW", "default.station", true},
    {"ReplayNumTest_EP_USW", "default.station", true},
    {"ReplayTimerTest_EP_USW", "default.station", true},
    {"ReplayTLPOrder_EP_USW", "default.station", true},
    {"ReservedFieldsDLLPReceive_EP_USW", "default.station", true},
    {"WrongSeqNumInAckDLLP_EP_USW", "default.station", true},
    {"CorruptedDLLPs_EP_USW", "default.station", true},
    {"DuplicateTLPSeqNum_EP_USW", "default.station", true},
    {"BadLCRC_EP_USW", "default.station", true},
    {"TXN_BFT_CompletionTimeout_EP", "default.station", false},
    {"TXN_BFT_RequestCompletion_EP", "default.station", false},
    {"TXN_BFT_NegotiatedLinkWidth", "dut-slot3.station", false},
};

class ComplianceResultLoss : public LabTest {
 protected:
  void SetUp() override {
    work_ = platform::make_temp_folder("result_loss_");
    const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
    // The programs load the driver library from the folder they run in.
    std::filesystem::create_symlink(bin + "/libPellor.so", work_ + "/libPellor.so");
    for (const program_case& p : programs) {
      std::filesystem::create_symlink(bin + "/" + p.program, work_ + "/" + p.program);
    }
    std::filesystem::create_directories(work_ + "/ini");
    std::ofstream(work_ + "/ini/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
    std::ofstream(work_ + "/run.dat") << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                                      << "  <VEXOINIFilePath p=\"" << work_ << "/ini\"/>\n"
                                      << "  <VEXOINIFileName n=\"KALIXapp.ini\"/>\n"
                                      << "  <PCIEBaseAddress a=\"E0000000\"/>\n  <DUTSerrEnable v=\"1\"/>\n"
                                      << "  <ReplayCount n=\"3\"/>\n"
                                      << "  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n</VexoDat>\n";
  }
  void TearDown() override {
    stop_lab();
    std::filesystem::remove_all(work_);
  }
  void stop_lab() {
    if (!socket_.empty()) LabTest::TearDown();
    socket_.clear();
    folder_.clear();
  }

  // Runs a program in the work folder with the failures planned; returns its output.
  std::string run(const std::string& program, const std::string& arguments, const std::string& faults, int* code) {
    return capture("cd " + work_ + " && ZAM_TIME_SCALE=0.01 ZAM_OPERATOR=lab ZAMSIM_SOCKET=" +
                       (socket_.empty() ? work_ + "/no-lab.sock" : socket_) + " ZAM_FILE_FAULTS='" + faults + "' ./" +
                       program + " " + arguments + " 2>&1",
                   code);
  }

  std::string work_;
};

constexpr const char* not_opened = "VEXO :: LOG NOT OPEN: log file[";

// A log that cannot be created stops the program before it touches the lab: exit 7
// (0x80000007) when the file does not open, 12 (0x8000000C) when its header cannot be
// written, and the reason on the output.
TEST_F(ComplianceResultLoss, EveryProgramRefusesToRunWithoutItsLog) {
  std::filesystem::create_directories(work_ + "/taken.xml");
  struct log_case {
    std::string arguments;
    std::string faults;
    int code;
    std::string log;     // the name the program prints
    std::string reason;  // the line that says why
  } const cases[] = {
      {"-d run.dat -l run.xml", "open:*run.xml", 7, "run.xml",
       std::string(not_opened) + "run.xml] cannot be opened: Permission denied\n"},
      {"-d run.dat -l run.xml", "write:*run.xml:nospace", 12, "run.xml",
       "VEXO :: LOG WRITE ERROR: log file[run.xml] cannot be written: No space left on device\n"},
      {"-d run.dat -l /dev/full", "", 12, "/dev/full",
       "VEXO :: LOG WRITE ERROR: log file[/dev/full] cannot be written: No space left on device\n"},
      {"-d run.dat -l missing/run.xml", "", 7, "missing/run.xml",
       std::string(not_opened) + "missing/run.xml] cannot be opened: No such file or directory\n"},
      {"-d run.dat -l taken.xml", "", 7, "taken.xml",
       std::string(not_opened) + "taken.xml] cannot be opened: Is a directory\n"},
      {"-d run.dat -l ''", "", 7, "", std::string(not_opened) + "] cannot be opened: no file name was given\n"},
      {"-d run.dat", "", 7, "", std::string(not_opened) + "] cannot be opened: no file name was given\n"},
  };
  for (const program_case& p : programs) {
    for (const log_case& c : cases) {
      int code = -1;
      const std::string out = run(p.program, c.arguments, c.faults, &code);
      EXPECT_EQ(code, c.code) << p.program << " " << c.arguments << " " << c.faults << "\n" << out;
      EXPECT_NE(out.find(c.reason), std::string::npos) << p.program << " " << c.arguments << "\n" << out;
      if (p.link_setup) {
        EXPECT_NE(out.find(std::string("./") + p.program + ". cannot create log with name[" + c.log + "]\n"),
                  std::string::npos)
            << p.program << "\n" << out;
      }
    }
    EXPECT_FALSE(std::filesystem::exists(work_ + "/missing"));
    EXPECT_EQ(slurp(work_ + "/run.xml"), "") << p.program;  // the header never reached it
  }
}

// A run that passed but whose log failed at close is not a pass: exit 12, the file and the
// reason named, and the log as far as it got.
TEST_F(ComplianceResultLoss, APassWhoseLogIsNotKeptEndsNonZero) {
  for (const program_case& p : programs) {
    start_lab(p.station);
    std::filesystem::remove(work_ + "/TXN_BFT_NegotiatedLinkWidth.ini");
    int code = -1;
    const std::string out = run(p.program, "-d run.dat -l run.xml", "close:*run.xml:io", &code);
    EXPECT_EQ(code, 12) << p.program << "\n" << out;
    EXPECT_NE(out.find("VEXO :: LOG WRITE ERROR: log file[run.xml] cannot be closed: Input/output error\n"),
              std::string::npos)
        << p.program << "\n" << out;
    EXPECT_NE(out.find("log[run.xml] is incomplete: VEXO :: LOG WRITE ERROR\n"), std::string::npos)
        << p.program << "\n" << out;
    const std::string log = slurp(work_ + "/run.xml");
    EXPECT_NE(log.find("status = \"SUCCESS\""), std::string::npos) << p.program << "\n" << log;
    EXPECT_TRUE(log.ends_with("</VEXOTest>\n</VEXOXMLLog>\n")) << p.program;
    stop_lab();
  }
}

}  // namespace
}  // namespace e2e
