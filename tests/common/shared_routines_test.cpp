// The shared register routines, the configuration dump and the message counts against a fake
// configuration space and a fake card.
#include "shared_routines.h"

#include <gtest/gtest.h>

#include "dat_values.h"
#include "link_program.h"
#include "link_programs.h"
#include "skeleton_fixture.h"
#include "temp_folder.h"
#include "trace_builder.h"

namespace zam_test {
namespace {

using vexo_test::trace_builder;

class SharedRoutines : public SkeletonTest {};

// The 16-bit value of the last write at an offset of the DUT.
uint16_t last_write16(const vexo_test::fake_config_space& space, uint32_t offset) {
  for (auto w = space.writes.rbegin(); w != space.writes.rend(); ++w) {
    if (w->offset == offset && w->bytes.size() == 2) {
      return static_cast<uint16_t>(w->bytes[0] | (w->bytes[1] << 8));
    }
  }
  ADD_FAILURE() << "no write at " << offset;
  return 0;
}

TEST_F(SharedRoutines, SerrEnableChangesOnlyBit8AndReturnsTheOldCommand) {
  space.put32(dut_address, 0x04, 0x00100146);
  EXPECT_EQ(SetDutSerrEnable(run.dut, run.log, 0), 0x0146);
  EXPECT_EQ(last_write16(space, 0x04), 0x0046);
  space.put32(dut_address, 0x04, 0x00100046);
  EXPECT_EQ(SetDutSerrEnable(run.dut, run.log, 7), 0x0046);
  EXPECT_EQ(last_write16(space, 0x04), 0x0146);
}

TEST_F(SharedRoutines, DeviceStatusAndControlAreSetReadBackAndRestored) {
  set_express_registers(0x2810, 0x0005);
  uint16_t old_status = 0, new_status = 0xFFFF, old_control = 0, new_control = 0;
  EXPECT_EQ(ClearDutDeviceStatus(run.dut, run.log, &old_status, &new_status), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(old_status, 0x0005);
  EXPECT_EQ(last_write16(space, express_offset + 0x0A), 0x000F);
  EXPECT_EQ(new_status, 0x0005);  // read back, not computed (the fake does not store writes)
  EXPECT_EQ(EnableDutErrorReporting(run.dut, run.log, &old_control, &new_control),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(old_control, 0x2810);
  EXPECT_EQ(last_write16(space, express_offset + 0x08), 0x281F);
  EXPECT_EQ(new_control, 0x2810);

  space.writes.clear();
  EXPECT_EQ(RestoreDutErrorRegisters(run.dut, run.log, 0x0005, 0x2810), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(space.writes.size(), 2u);
  EXPECT_EQ(space.writes[0].offset, express_offset + 0x0A);  // status first, then control
  EXPECT_EQ(last_write16(space, express_offset + 0x0A), 0x0005);
  EXPECT_EQ(last_write16(space, express_offset + 0x08), 0x2810);

  uint16_t status = 0, copy = 0;
  set_express_registers(0x2810, 0x0009);
  EXPECT_EQ(ReadDutDeviceStatus(run.dut, run.log, &status, &copy), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(status, 0x0009);
  EXPECT_EQ(copy, 0x0009);
}

TEST_F(SharedRoutines, AMissingExpressCapabilityIsAnErrorLineInEachForm) {
  space.functions.at(dut_address)[0x34] = 0;
  VEXO_DEVICE_HANDLE_t bare = record_of(dut_address);
  std::swap(bare, run.dut);
  uint16_t a = 0, b = 0;
  EXPECT_NE(ClearDutDeviceStatus(run.dut, run.log, &a, &b), VEXO_STATUS_SUCCESS);
  EXPECT_NE(EnableDutErrorReporting(run.dut, run.log, &a), VEXO_STATUS_SUCCESS);
  EXPECT_NE(ReadDutDeviceStatus(run.dut, run.log, &a, &b), VEXO_STATUS_SUCCESS);
  EXPECT_TRUE(space.writes.empty());
  std::swap(bare, run.dut);
  CloseDevice(bare);
  const std::string log = log_text();
  EXPECT_NE(log.find("<WARNING>\nUnable to retrieve PCIE capability for dut\n</WARNING>\n"
                     "<WARNING>\n:::Unable to retrieve PCIE capability for dut\n</WARNING>\n"
                     "<WARNING>\nUnable to retrieve PCIE capability for dut\n</WARNING>\n"),
            std::string::npos)
      << log;
}

TEST_F(SharedRoutines, ConfigurationDumpNamesCapabilitiesAndStopsOnALoop) {
  auto& bytes = space.functions.at(dut_address);
  bytes[express_offset + 1] = 0x50;             // PCI Express -> 0x50
  bytes[0x50] = 0x13, bytes[0x51] = 0x60;       // an ID beyond the name table -> 0x60
  bytes[0x60] = 0x01, bytes[0x61] = 0x50;       // power management -> back to 0x50
  bytes[0x64] = 0xA1, bytes[0x67] = 0xD4;
  LogDutConfigSpace(run.dut, run.log);
  const std::string log = log_text();
  const std::string expected =
      "<INFO>\nDUT PCI Configuration Space Register Values\nByte Offset :    Value \n"
      "0x03 - 0x00 : [0x00-0x20-0xAB-0xCD]\n"
      "0x07 - 0x04 : [0x00-0x10-0x00-0x06]\n";
  EXPECT_NE(log.find(expected), std::string::npos) << log;
  EXPECT_NE(log.find("0x37 - 0x34 : [0x00-0x00-0x00-0x40]\n0x3B - 0x38"), std::string::npos);
  const std::string list =
      "Found PCI PCIE express capability at offset 0x40\nByte Offset : Value \n"
      "0x03 - 0x00 : [0x00-0x02-0x50-0x10]\n0x07 - 0x04 : [0x00-0x00-0x00-0x00]\n"
      "0x0B - 0x08 : [0x00-0x00-0x00-0x00]\n0x0F - 0x0C : [0x00-0x00-0x00-0x00]\n"
      "0x13 - 0x10 : [0x00-0x00-0x60-0x13]\n"
      "Found PCI capability 0x13 at offset 0x50\nByte Offset : Value \n"
      "Found PCI Power Management capability at offset 0x60\nByte Offset : Value \n"
      "0x03 - 0x00 : [0x00-0x00-0x50-0x01]\n0x07 - 0x04 : [0xD4-0x00-0x00-0xA1]\n"
      "</INFO>\n";
  EXPECT_NE(log.find(list), std::string::npos) << log;
}

TEST_F(SharedRoutines, ConfigurationDumpStopsAtANextPointerNotAbove0x40AndWritesNothingUnread) {
  auto& bytes = space.functions.at(dut_address);
  bytes[express_offset + 1] = 0x3C;
  LogDutConfigSpace(run.dut, run.log);
  std::string log = log_text();
  EXPECT_NE(log.find("0x13 - 0x10 : [0x00-0x00-0x00-0x00]\n</INFO>"), std::string::npos) << log;

  // A DUT whose configuration space cannot be read gets no entry at all.
  const std::string before = log_text();
  space.functions.erase(dut_address);
  LogDutConfigSpace(run.dut, run.log);
  EXPECT_EQ(log_text(), before);
}

TEST_F(SharedRoutines, OnlyMessagesToTheRootComplexCountAsErrCorOrErrFatal) {
  fake.trace = trace_builder{}
                   // A completion whose byte count field puts 0x30 in byte 7: not a message.
                   .tlp({0x4A, 0, 0, 1, 0x01, 0x00, 0x00, 0x30, 0x03, 0, 0, 0, 0xCD, 0xAB, 0x20, 0})
                   .tlp({0x30, 0, 0, 0, 0x03, 0x00, 0x00, 0x30, 0, 0, 0, 0, 0, 0, 0, 0})  // ERR_COR
                   .tlp({0x70, 0, 0, 1, 0x03, 0x00, 0x00, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4})
                   // A message routed by ID (type 10010) with code 0x30: not to the root.
                   .tlp({0x32, 0, 0, 0, 0x03, 0x00, 0x00, 0x30, 0, 0, 0, 0, 0, 0, 0, 0})
                   .tlp({0x30, 0, 0, 0, 0x03, 0x00, 0x00, 0x33, 0, 0, 0, 0, 0, 0, 0, 0})  // ERR_FATAL
                   .dllp(0x00)
                   .bytes;
  ASSERT_EQ(ZAMGetTraceBuffer(run.card), VEXO_STATUS_SUCCESS);
  unsigned int count = 99;
  EXPECT_EQ(CountErrCorMessages(run.card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(CountErrFatalMessages(run.card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 1u);
}

TEST_F(SharedRoutines, AerStatusIsClearedWithItsOwnBitsWhenTheDutHasAer) {
  space.put32(dut_address, 0x100, 0x00010001);
  space.put32(dut_address, 0x104, 0x00000020);
  space.put32(dut_address, 0x110, 0x00000002);
  zam::clear_dut_aer_status(run.dut);
  ASSERT_EQ(space.writes.size(), 2u);
  EXPECT_EQ(space.writes[0].offset, 0x104u);
  EXPECT_EQ(space.writes[0].bytes, (std::vector<uint8_t>{0x31, 0xF0, 0x1F, 0x00}));
  EXPECT_EQ(space.writes[1].offset, 0x110u);
  EXPECT_EQ(space.writes[1].bytes, (std::vector<uint8_t>{0xC3, 0x11, 0x00, 0x00}));

  space.writes.clear();
  space.put32(dut_address, 0x100, 0);  // no AER: nothing is written
  zam::clear_dut_aer_status(run.dut);
  EXPECT_TRUE(space.writes.empty());
}

TEST_F(SharedRoutines, UncleanDatNumbersAreWarnedAboutAndRefusedOnlyWhereTheyDecideTheVerdict) {
  const std::string path = folder.file("odd.dat");
  vexo_test::write_file(path, "<d><DUT vendorid=\"ABCD\" deviceid=\"20\"/><DUT bus=\"300\"/>"
                              "<DUTSerrEnable v=\"on\"/><ReplayCount n=\"x\"/></d>");
  ASSERT_EQ(parseDatFile(path.c_str(), &run.dat), VEXO_STATUS_SUCCESS);
  // The set-up: the second DUT entry and SERR enable decide nothing; each is warned about.
  testing::internal::CaptureStdout();
  EXPECT_EQ(zam::state_dat_values(run.log, &run.number, "prog", run.dat), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  std::string log = log_text();
  EXPECT_NE(log.find("<INFO>\nTest parameters: DUT[vendorid 0xABCD deviceid 0x20] "
                     "PCIEBaseAddress[0xE0000000] DUTSerrEnable[0]\n</INFO>\n"
                     "<WARNING>\nDAT file: <DUT bus=\"300\"> does not fit its field and was cut, "
                     "taken as 44\n</WARNING>\n"
                     "<WARNING>\nDAT file: <DUTSerrEnable v=\"on\"> holds no digit, taken as 0\n</WARNING>\n"
                     "<WARNING>\nDAT file: <ReplayCount n=\"x\"> holds no digit, taken as 0\n</WARNING>\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("ABORT"), std::string::npos) << log;

  // A program that does not use ReplayCount runs; one that does is refused.
  EXPECT_EQ(zam::state_program_values(ReXmitOnNak_EP_USW_program(), run, "prog"), VEXO_STATUS_SUCCESS);
  testing::internal::CaptureStdout();
  EXPECT_EQ(zam::state_program_values(ReplayNumTest_EP_USW_program(), run, "prog"),
            VEXO_STATUS_INVALID_PARAMETER);
  const std::string refusal =
      "DAT file: <ReplayCount n=\"x\"> holds no digit, taken as 0. The test does not run on this "
      "value: correct the DAT file\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "prog. " + refusal);
  log = log_text();
  EXPECT_NE(log.find("<INFO>\nTest parameters: ReplayCount[0]\n</INFO>\n"), std::string::npos) << log;
  EXPECT_NE(log.find("status = \"ABORT\">\n" + refusal + "</ASSERTTAG>"), std::string::npos) << log;
}

}  // namespace
}  // namespace zam_test
