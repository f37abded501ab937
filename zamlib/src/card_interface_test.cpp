// Reads, writes and opens against the in-process card: swapping, time-outs, aborts, retries.
#include "card_interface.h"

#include <gtest/gtest.h>

#include "card_standin.h"
#include "zamlib/zamlib.h"

namespace {

using zamlib_testing::card_standin;
using zamlib_testing::config_read;

class CardInterfaceTest : public ::testing::Test {
 protected:
  std::vector<uint32_t> sleeps;
  std::string log_text;
  card_standin card;
  zamlib::usb_link link{"ezusb-0", [this](uint32_t ms) { sleeps.push_back(ms); }};
  zamlib::packet_log log{[this](const std::string& text) { log_text += text; }};
  zamlib::card_interface hw{link, log};
};

TEST_F(CardInterfaceTest, ReadsRequestsInHostOrderAndSendsCompletionsBigEndian) {
  card.queue_request(config_read(0, 3, 0, 0x10, 1));
  ASSERT_EQ(hw.init(0), ZAMLIB_STATUS_SUCCESS);
  uint32_t buffer[16] = {};
  uint32_t bytes = 0;
  ASSERT_EQ(hw.read_request(sizeof buffer, 30000, &bytes, buffer), ZAMLIB_STATUS_SUCCESS);
  EXPECT_EQ(bytes, 12u);
  EXPECT_EQ(buffer[0], 0x04000001u);
  EXPECT_EQ(buffer[1], 0x0000010Fu);
  EXPECT_EQ(buffer[2], 0x00180010u);
  const uint32_t completion[4] = {0x4A000001u, 0x00180004u, 0x00000100u, 0xFFFFFFF0u};
  ASSERT_EQ(hw.write_completion(completion, 16, 1000), ZAMLIB_STATUS_SUCCESS);
  ASSERT_EQ(card.completions().size(), 1u);
  EXPECT_EQ(card.completions()[0], std::vector<uint32_t>(completion, completion + 4));
  EXPECT_EQ(card.completion_lengths()[0], 16u);
  EXPECT_EQ(card.read_timeouts(), std::vector<uint32_t>{30000});
  EXPECT_EQ(log_text, "CfgRead  ID=018 reg=010 data=fffffff0 \n");
}

TEST_F(CardInterfaceTest, TimeOutsAbortsAndErrorsMapToDistinctStatuses) {
  ASSERT_EQ(hw.init(0), ZAMLIB_STATUS_SUCCESS);
  uint32_t buffer[16] = {};
  uint32_t bytes = 99;
  testing::internal::CaptureStdout();
  EXPECT_EQ(hw.read_request(sizeof buffer, 500, &bytes, buffer), ZAMLIB_STATUS_READ_FAILED);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DeviceIoControl TIMEOUT!\n");
  EXPECT_EQ(bytes, 0u);
  card.end_reads_with(995);
  testing::internal::CaptureStdout();
  EXPECT_EQ(hw.read_request(sizeof buffer, 500, &bytes, buffer), ZAMLIB_STATUS_ABORTED);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DeviceIoControl Error (3e3)!\n");
  card.end_reads_with(31);
  testing::internal::CaptureStdout();
  EXPECT_EQ(hw.read_request(sizeof buffer, 500, &bytes, buffer), ZAMLIB_STATUS_READ_FAILED);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DeviceIoControl Error (1f)!\n");
  EXPECT_EQ(log_text, "");  // failed reads log nothing

  const uint32_t completion[3] = {0x0A000000u, 0x00180004u, 0x00000100u};
  card.fail_writes_with(995);
  testing::internal::CaptureStdout();
  EXPECT_EQ(hw.write_completion(completion, 12, 1000), ZAMLIB_STATUS_ABORTED);
  card.fail_writes_with(1460);
  EXPECT_EQ(hw.write_completion(completion, 12, 1000), ZAMLIB_STATUS_WRITE_FAILED);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DeviceIoControl Error (3e3)!\nDeviceIoControl TIMEOUT!\n");
  // More than the card's 512 bytes is refused before anything is sent.
  card.fail_writes_with(0);
  std::vector<uint32_t> huge(129, 0x0A000000u);
  EXPECT_EQ(hw.write_completion(huge.data(), 516, 1000), ZAMLIB_STATUS_WRITE_FAILED);
  EXPECT_TRUE(card.completions().empty());
  // Without an open device every transfer fails.
  hw.close();
  testing::internal::CaptureStdout();
  EXPECT_EQ(hw.read_request(sizeof buffer, 500, &bytes, buffer), ZAMLIB_STATUS_READ_FAILED);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DeviceIoControl Error (6)!\n");
}

TEST_F(CardInterfaceTest, OpenRetriesEvery200MsUntilTheTimeOut) {
  card.fail_opens(3);
  EXPECT_EQ(hw.init(1000), ZAMLIB_STATUS_SUCCESS);
  EXPECT_EQ(card.open_attempts(), 4);
  EXPECT_EQ(sleeps, (std::vector<uint32_t>{200, 200, 200}));
  sleeps.clear();
  card.fail_opens(100);
  EXPECT_EQ(hw.init(1000), ZAMLIB_STATUS_OPEN_FAILED);
  EXPECT_EQ(sleeps, std::vector<uint32_t>(5, 200));  // 1000 ms waited, then one last try
  EXPECT_EQ(card.open_attempts(), 4 + 6);
  EXPECT_EQ(card.open_channels(), 0);  // the failed init closed the earlier handle
  // A time-out of 0 tries once; a second init replaces the first handle.
  card.fail_opens(0);
  sleeps.clear();
  EXPECT_EQ(hw.init(0), ZAMLIB_STATUS_SUCCESS);
  EXPECT_EQ(hw.init(0), ZAMLIB_STATUS_SUCCESS);
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(card.open_channels(), 1);
  hw.close();
  EXPECT_EQ(card.open_channels(), 0);
}

TEST_F(CardInterfaceTest, ShortAndOversizedTransfersStayInsideTheBuffer) {
  card.queue_bytes({0x04, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x0F});
  // 13 bytes into a 12-byte buffer: the driver refuses rather than overrun.
  card.queue_bytes(std::vector<uint8_t>(13, 0xAB));
  ASSERT_EQ(hw.init(0), ZAMLIB_STATUS_SUCCESS);
  uint32_t buffer[4] = {0, 0, 0, 0x77777777};
  uint32_t bytes = 0;
  ASSERT_EQ(hw.read_request(8, 100, &bytes, buffer), ZAMLIB_STATUS_SUCCESS);
  EXPECT_EQ(bytes, 8u);
  EXPECT_EQ(buffer[0], 0x04000001u);
  EXPECT_EQ(buffer[2], 0u);
  EXPECT_EQ(log_text, "<< *** short packet (length=8)\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(hw.read_request(12, 100, &bytes, buffer), ZAMLIB_STATUS_READ_FAILED);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(buffer[3], 0x77777777u);
}

}  // namespace
