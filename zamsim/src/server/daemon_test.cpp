// zamsim's command line.
#include "server/daemon.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/process.h"

namespace zamsim {
namespace {

TEST(CommandLineTest, ParsesEveryCommand) {
  platform::unset_environment("ZAMSIM_SOCKET");
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

  platform::set_environment("ZAMSIM_SOCKET", "/tmp/env/s");
  ASSERT_TRUE(parse_command_line({"status"}, cl, error));
  EXPECT_EQ(cl.socket, "/tmp/env/s");
  platform::unset_environment("ZAMSIM_SOCKET");

  const std::vector<std::vector<std::string>> bad = {
      {"launch"}, {"start"}, {"run", "a.station"}, {"run", "a.station", "--"}, {"stop", "--", "x"},
      {"status", "--socket"}, {"stop", "extra"}, {"show", "--foreground"},
      {"start", "a.station", "--usbredir"}, {"status", "--usbredir", "/tmp/u"}, {"power-cycle-card", "--usbredir", "u"},
      {"start", "a.station", "--detached-for"}, {"start", "a.station", "--detached-for", "x"},
      {"start", "a.station", "--detached-for", "0"}, {"run", "a.station", "--detached-for", "1", "--", "true"},
      {"status", "--detached-for", "1"}};
  for (const auto& args : bad) {
    EXPECT_FALSE(parse_command_line(args, cl, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

// The daemon that `start` runs detached on Windows serves in the foreground and knows its
// starter.
TEST(CommandLineTest, DetachedDaemonServesInTheForeground) {
  command_line cl;
  std::string error;
  ASSERT_TRUE(parse_command_line({"start", "a.station", "--socket", "/tmp/x/s", "--detached-for", "4242"}, cl, error))
      << error;
  EXPECT_EQ(cl.station, "a.station");
  EXPECT_EQ(cl.socket, "/tmp/x/s");
  EXPECT_TRUE(cl.foreground);
  EXPECT_EQ(cl.detached_for, 4242);
  ASSERT_TRUE(parse_command_line({"start", "a.station", "--foreground"}, cl, error)) << error;
  EXPECT_EQ(cl.detached_for, 0);
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
