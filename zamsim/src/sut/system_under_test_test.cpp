// The system under test over the card's pipes, with a host in the test answering from the
// engine: stop marker, retry status, silence, malformed answers and the firmware's faults.
#include "sut/system_under_test.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "lattix/enumeration_checks.h"
#include "lattix/packet_handler.h"
#include "base/lattix_hierarchy.h"
#include "usb/ezusb_requests.h"

namespace zamsim {
namespace {

uint32_t be32(const uint8_t* at) { return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3]; }

// What the host does with one answer before it goes back: pass, alter or drop it.
using answer_rule = std::function<bool(int index, std::vector<uint8_t>& completion)>;

struct host_run {
  std::vector<std::vector<uint32_t>> requests;  // every request, host word order
  bool stop_marker = false;
};

class SystemUnderTestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    tree = make_lattix_hierarchy(std::string(ZAMSIM_CATALOGUE) + "/" + script, error);
    ASSERT_TRUE(tree) << error;
    options.root_complex_script = std::string(ZAMSIM_STATIONS) + "/sut.test";
    options.link.completion_timeout_ms = 30;
    options.firmware.memory_limit = 0xFEBFFFFFu;
  }

  // Plays the host until the stop marker or until no request comes for a while.
  host_run serve(const answer_rule& rule) {
    host_run run;
    packetHandler* handler = packet_handler_of(*tree);
    for (int index = 0;; ++index) {
      std::vector<uint8_t> packet(64);
      uint32_t returned = 0;
      uint8_t pipe[4] = {ezusb::pipe_requests, 0, 0, 0};
      if (usb.serve(ezusb::ioctl_bulk_read, pipe, 4, packet.data(), 64, returned, 2000) != 0) break;
      std::vector<uint32_t> words;
      for (uint32_t i = 0; i + 4 <= returned; i += 4) words.push_back(be32(packet.data() + i));
      run.requests.push_back(words);
      if ((words[0] >> 24) == 0x44 && (words[2] & 0xFC) == 0xFC) {
        run.stop_marker = true;
        break;
      }
      uint32_t* completion = handler->handle(words.data());
      if (completion == nullptr) continue;
      const uint32_t length = (completion[0] >> 24) == 0x4A ? 4 : 3;
      std::vector<uint8_t> bytes;
      for (uint32_t i = 0; i < length; ++i) {
        const uint32_t w = completion[i];  // the data word is already in wire order
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(w >> shift));
      }
      releaseCompletion(completion);
      if (!rule(index, bytes)) continue;
      uint8_t out_pipe[4] = {ezusb::pipe_completions, 0, 0, 0};
      EXPECT_EQ(usb.serve(ezusb::ioctl_bulk_write, out_pipe, 4, bytes.data(), static_cast<uint32_t>(bytes.size()),
                          returned, 1000),
                0u);
    }
    return run;
  }

  host_run power_and_serve(const answer_rule& rule) {
    system_under_test sut(usb, options);
    std::string error;
    EXPECT_TRUE(sut.power_on(error)) << error;
    host_run run = serve(rule);
    EXPECT_TRUE(sut.wait_done(10000));
    return run;
  }

  bool bus_numbers_fail() { return findBusEnumerationError(packet_handler_of(*tree)).errorFound != 0; }
  size_t enable_failures() {
    std::vector<_MEM_IO_ENABLE_FAIL_DATA>* list = nullptr;
    FindMemIOEnables(packet_handler_of(*tree), &list, true, true);
    return list ? list->size() : 0;
  }

  std::string script = "BorderlineDeviceResponses/Case_12_Configuration_Retry.test";
  std::unique_ptr<hierarchy> tree;
  sut_options options;
  zam_card card{mode_topology, mode_topology};
  usb_controller usb{card, usb_card_contents{}};
};

const answer_rule pass_all = [](int, std::vector<uint8_t>&) { return true; };

TEST_F(SystemUnderTestTest, EnumeratesThroughTheCardAndEndsWithTheStopMarker) {
  const host_run run = power_and_serve(pass_all);
  ASSERT_TRUE(run.stop_marker);
  // The first request reaches the card's root bus as bus 1 (the root port's secondary):
  // a CfgRd0 of device 0's identity, from requester 0x0000 with tag 0.
  ASSERT_GE(run.requests.size(), 2u);
  EXPECT_EQ(run.requests.front(), (std::vector<uint32_t>{0x04000001u, 0x0000000Fu, 0x01000000u}));
  // Tags count up; the marker is a CfgWr0 to register 0xFC of 1:0.0.
  EXPECT_EQ((run.requests[1][1] >> 8) & 0xFF, 1u);
  EXPECT_EQ(run.requests.back()[0], 0x44000001u);
  EXPECT_EQ(run.requests.back()[2], 0x010000FCu);
  // Device numbers 1-31 of the root port's secondary bus were asked too (forwarded).
  bool asked_device_31 = false;
  for (const auto& r : run.requests) asked_device_31 |= r[2] == (0x01000000u | 31u << 19);
  EXPECT_TRUE(asked_device_31);
  EXPECT_FALSE(bus_numbers_fail());
  EXPECT_EQ(enable_failures(), 0u);
}

TEST_F(SystemUnderTestTest, RetryStatusOnTheFirstAnswerIsRetriedUnlessTheFaultSaysNoDevice) {
  const answer_rule crs_first = [](int index, std::vector<uint8_t>& c) {
    if (index == 0) {
      c.resize(12);
      c[0] = 0x0A;
      c[3] = 0x00;
      c[6] = static_cast<uint8_t>((c[6] & 0x1F) | 0x40);  // status 2
    }
    return true;
  };
  host_run run = power_and_serve(crs_first);
  ASSERT_TRUE(run.stop_marker);
  EXPECT_EQ(run.requests[1][2], run.requests[0][2]) << "the identity read is repeated after retry status";
  EXPECT_FALSE(bus_numbers_fail());

  SetUp();
  options.firmware.faults.no_crs_retry = true;
  run = power_and_serve(crs_first);
  ASSERT_TRUE(run.stop_marker);
  // The switch was taken for absent: its bridge is never numbered, which the bus check
  // reports; the enables it expected stay off as well.
  EXPECT_TRUE(bus_numbers_fail());
}

TEST_F(SystemUnderTestTest, SilenceAndMalformedAnswersTimeOutAndTheMarkerStillCloses) {
  // Nothing answered: every request times out and reads as all ones (no device).
  host_run run = power_and_serve([](int, std::vector<uint8_t>&) { return false; });
  ASSERT_TRUE(run.stop_marker);
  EXPECT_EQ(run.requests.size(), 33u) << "32 identity reads on the card's bus, then the marker";

  // All-ones answers are dropped as malformed and time out the same way.
  SetUp();
  run = power_and_serve([](int, std::vector<uint8_t>& c) {
    std::fill(c.begin(), c.begin() + 12, 0xFF);
    c.resize(12);
    return true;
  });
  ASSERT_TRUE(run.stop_marker);
  EXPECT_EQ(run.requests.size(), 33u);

  // A late answer with an old tag is not taken for the current request's.
  const auto ok = decode_completion({0x4A, 0, 0, 1, 0x01, 0, 0, 4, 0, 0, 7, 0, 0x86, 0x80, 0x34, 0x12}, 0, 7);
  EXPECT_TRUE(ok.valid);
  EXPECT_EQ(ok.value, 0x12348086u);
  EXPECT_FALSE(decode_completion({0x4A, 0, 0, 1, 0x01, 0, 0, 4, 0, 0, 6, 0, 0x86, 0x80, 0x34, 0x12}, 0, 7).valid);
}

TEST_F(SystemUnderTestTest, PowerOffStopsAFirmwareWaitingForTheHost) {
  options.link.completion_timeout_ms = 60000;
  system_under_test sut(usb, options);
  std::string error;
  ASSERT_TRUE(sut.power_on(error)) << error;
  EXPECT_TRUE(sut.powered());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  sut.power_off();  // returns promptly although no answer ever comes
  EXPECT_FALSE(sut.powered());
  EXPECT_NE(sut.describe().find("stopped by power-off"), std::string::npos) << sut.describe();
}

}  // namespace
}  // namespace zamsim
