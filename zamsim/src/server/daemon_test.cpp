// zamsim's command line.
#include "server/daemon.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdlib.h>

namespace zamsim {
namespace {

TEST(CommandLineTest, ParsesEveryCommand) {
  ::unsetenv("ZAMSIM_SOCKET");
  command_line cl;
  std::string error;
  ASSERT_TRUE(parse_command_line({"start", "a.station", "--socket", "/tmp/x/s", "--foreground"}, cl, error)) << error;
  EXPECT_EQ(cl.station, "a.station");
  EXPECT_EQ(cl.socket, "/tmp/x/s");
  EXPECT_TRUE(cl.socket_given);
  EXPECT_TRUE(cl.foreground);

  ASSERT_TRUE(parse_command_line({"run", "a.station", "--", "vexoscan", "--flag"}, cl, error)) << error;
  EXPECT_EQ(cl.program, (std::vector<std::string>{"vexoscan", "--flag"}));
  EXPECT_FALSE(cl.socket_given);
  EXPECT_EQ(cl.socket, default_socket_path());

  // A FLASH offset, decimal or hexadecimal, before or after the socket.
  for (const auto& [args, offset] : {std::pair{std::vector<std::string>{"flip-flash-byte", "0x410123"}, 0x410123u},
                                     std::pair{std::vector<std::string>{"flip-flash-byte", "--socket", "/s", "4096"}, 4096u},
                                     std::pair{std::vector<std::string>{"flip-flash-byte", "0xFFFFFFFF"}, 0xFFFFFFFFu}}) {
    ASSERT_TRUE(parse_command_line(args, cl, error)) << error;
    EXPECT_EQ(cl.flash_offset, offset) << args.back();
  }
  EXPECT_EQ(cl.socket, default_socket_path());

  ::setenv("ZAMSIM_SOCKET", "/tmp/env/s", 1);
  ASSERT_TRUE(parse_command_line({"status"}, cl, error));
  EXPECT_EQ(cl.socket, "/tmp/env/s");
  ::unsetenv("ZAMSIM_SOCKET");

  const std::vector<std::vector<std::string>> bad = {
      {"launch"}, {"start"}, {"run", "a.station"}, {"run", "a.station", "--"}, {"stop", "--", "x"},
      {"status", "--socket"}, {"stop", "extra"}, {"show", "--foreground"},
      {"start", "a.station", "--usbredir"}, {"status", "--usbredir", "/tmp/u"}, {"power-cycle-card", "--usbredir", "u"},
      {"flip-flash-byte"}, {"flip-flash-byte", "0x"}, {"flip-flash-byte", "12k"}, {"flip-flash-byte", "-1"},
      {"flip-flash-byte", "0x100000000"}, {"flip-flash-byte", "1", "2"}, {"power-cycle-card", "5"}};
  for (const auto& args : bad) {
    EXPECT_FALSE(parse_command_line(args, cl, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(CommandLineTest, UsbredirSocketIsTakenByStartAndRunAndMadeAbsolute) {
  command_line cl;
  std::string error;
#ifdef ZAM_HAVE_USBREDIR
  ASSERT_TRUE(parse_command_line({"start", "a.station", "--usbredir", "/tmp/x/card.sock"}, cl, error)) << error;
  EXPECT_EQ(cl.usbredir, "/tmp/x/card.sock");
  ASSERT_TRUE(parse_command_line({"run", "a.station", "--usbredir", "card.sock", "--", "true"}, cl, error)) << error;
  EXPECT_EQ(cl.usbredir, (std::filesystem::current_path() / "card.sock").string());
  ASSERT_TRUE(parse_command_line({"start", "a.station"}, cl, error)) << error;
  EXPECT_TRUE(cl.usbredir.empty());
#else
  EXPECT_FALSE(parse_command_line({"start", "a.station", "--usbredir", "/tmp/x/card.sock"}, cl, error));
  EXPECT_EQ(error, "--usbredir: this zamsim was built without libusbredirparser");
#endif
}

}  // namespace
}  // namespace zamsim
