// The campaign file: keys in their order and spelling, slot updates, another DUT's file.
#include "result_file.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace nlw {
namespace {

TEST(ResultFile, ANewCampaignThenOneSlotTested) {
  vexo_test::temp_folder folder;
  const result_file file;
  EXPECT_FALSE(file.exists());
  const dut_entry dut{0xABCD, 0x20, 3, 0, 0, 8};
  file.create({{0x8086, 0x7A38, 0, 1, 0, 1, 16}, {0x8086, 0x7A3A, 0, 3, 0, 3, 4}}, dut);
  plugging slot;
  slot.down = 1;
  file.record_slot(1, 0, slot, 4);
  file.set_result("INCOMPLETE");
  EXPECT_EQ(vexo_test::read_file(folder.file("TXN_BFT_NegotiatedLinkWidth.ini")),
            "[RootPort0]\nVendorId=0x8086\nDeviceId=0x7A38\nBus=0\nDevice=1\nFunction=0\n"
            "SlotNumber=1\nMaxLinkWidth=16\nSlot_Status=Not_Tested\nUpPluggingStatus=Not_Tested\n"
            "EqualPluggingStatus=Not_Tested\nDownShiftingStatus=Not_Tested\n"
            "[RootPort1]\nVendorId=0x8086\nDeviceId=0x7A3A\nBus=0\nDevice=3\nFunction=0\n"
            "SlotNumber=3\nMaxLinkWidth=4\nSlot_Status=Success\nUpPluggingStatus=Not_Tested\n"
            "EqualPluggingStatus=Not_Tested\nDownShiftingStatus=Passed\nNegotiatedLinkWidth=4\n"
            "[DUT]\nVendorId=0xABCD\nDeviceID=0x20\nBus=3\nDevice=0\nFunction=0\nMaxLinkWidth=8\n"
            "[RESULT]\nStatus=INCOMPLETE\n");
  EXPECT_EQ(file.slot_status(0), "Not_Tested");
  EXPECT_EQ(file.slot_status(1), "Success");
  EXPECT_EQ(file.slot_status(7), "Not_Tested");

  std::string named;
  EXPECT_FALSE(file.belongs_to_other_dut(dut, &named));
  EXPECT_TRUE(file.belongs_to_other_dut({0xABCD, 0x21, 3, 0, 0, 8}, &named));
  EXPECT_EQ(named, "VendorId[0xABCD] DeviceID[0x20]");
  file.remove();
  EXPECT_FALSE(file.exists());
}

}  // namespace
}  // namespace nlw
