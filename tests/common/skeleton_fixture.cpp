// Test fixture of the compliance skeleton.
#include "skeleton_fixture.h"

#include <cstring>

#include "device/device_record.h"
#include "trace/trace_copy.h"

namespace zam_test {

SkeletonTest::SkeletonTest() {
  auto& bytes = space.add(dut_address);
  space.put32(dut_address, 0x00, 0x0020ABCD);
  space.put32(dut_address, 0x04, 0x00100006);  // capability list; memory and bus master enable
  bytes[0x34] = express_offset;
  space.put32(dut_address, express_offset, 0x00020010);  // PCI Express, last, endpoint
  space.add(fake.card);
  run.dut = record_of(dut_address);
  run.card = record_of(fake.card);
  run.number = zam::make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "1", "0");
  run.dat.replay_count = 3;
  EXPECT_EQ(CreateLog(nullptr, &run.log, VEXO_LOG_TYPE_XML, folder.file("run.xml").c_str(), 0),
            VEXO_STATUS_SUCCESS);
}

SkeletonTest::~SkeletonTest() {
  CloseLog(run.log);
  for (VEXO_DEVICE_HANDLE_t handle : {run.dut, run.card}) {
    if (handle == nullptr) continue;
    vexo::discard_trace_copy(*vexo::record_from_handle(handle));
    vexo::free_device_record(handle);
  }
}

VEXO_DEVICE_HANDLE_t SkeletonTest::record_of(const vexo_test::bdf& where) {
  uint8_t config[vexo::config_copy_size] = {};
  std::memcpy(config, space.functions.at(where).data(), sizeof config);
  VEXO_DEVICE_HANDLE_t handle = nullptr;
  EXPECT_EQ(vexo::make_device_record(static_cast<uint8_t>(where.bus),
                                     static_cast<uint8_t>(where.device),
                                     static_cast<uint8_t>(where.function), config, &handle),
            VEXO_STATUS_SUCCESS);
  return handle;
}

void SkeletonTest::set_express_registers(uint16_t control, uint16_t status, uint16_t link_status) {
  space.put32(dut_address, express_offset + 8, control | (static_cast<uint32_t>(status) << 16));
  space.put32(dut_address, express_offset + 0x10, static_cast<uint32_t>(link_status) << 16);
}

std::string SkeletonTest::log_text() const {
  return vexo_test::read_file(folder.file("run.xml"));
}

}  // namespace zam_test
