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

  ::setenv("ZAMSIM_SOCKET", "/tmp/env/s", 1);
  ASSERT_TRUE(parse_command_line({"status"}, cl, error));
  EXPECT_EQ(cl.socket, "/tmp/env/s");
  ::unsetenv("ZAMSIM_SOCKET");

  const std::vector<std::vector<std::string>> bad = {
      {"launch"}, {"start"}, {"run", "a.station"}, {"run", "a.station", "--"}, {"stop", "--", "x"},
      {"status", "--socket"}, {"stop", "extra"}, {"show", "--foreground"},
      {"start", "a.station", "--usbredir"}, {"status", "--usbredir", "/tmp/u"}, {"power-cycle-card", "--usbredir", "u"}};
  for (const auto& args : bad) {
    EXPECT_FALSE(parse_command_line(args, cl, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(CommandLineTest, TcpAddressesAreCheckedAndOnlyALabBeingStartedMayAskForAnyPort) {
  ::unsetenv("ZAMSIM_SOCKET");
  ::unsetenv("ZAMSIM_SECRET");
  struct socket_case {
    std::vector<std::string> args;
    const char* error;  // nullptr: accepted
  };
  const socket_case cases[] = {
      {{"start", "a.station", "--socket", "tcp:127.0.0.1:0"}, nullptr},
      {{"run", "a.station", "--socket", "tcp:localhost:0", "--", "true"}, nullptr},
      {{"status", "--socket", "tcp:127.0.0.1:4711"}, nullptr},
      {{"stop", "--socket", "tcp:127.0.0.1:0"},
       "--socket: \"tcp:127.0.0.1:0\" is not a TCP address tcp:HOST:PORT (the port is a number from 1 to 65535)"},
      {{"show", "--socket", "tcp:127.0.0.1"}, "--socket: \"tcp:127.0.0.1\" is not a TCP address tcp:HOST:PORT (no port)"},
      {{"start", "a.station", "--socket", "tcp:127.0.0.1:70000"},
       "--socket: \"tcp:127.0.0.1:70000\" is not a TCP address tcp:HOST:PORT (the port is a number from 0 to 65535)"},
      // Another spelling is a path, as it always was.
      {{"status", "--socket", "TCP:127.0.0.1:4711"}, nullptr},
  };
  for (const socket_case& c : cases) {
    command_line cl;
    std::string error;
    EXPECT_EQ(parse_command_line(c.args, cl, error), c.error == nullptr) << c.args[2];
    EXPECT_EQ(error, c.error ? c.error : "") << c.args[2];
  }
  // The environment's address is checked the same way, and named in the error.
  command_line cl;
  std::string error;
  ::setenv("ZAMSIM_SOCKET", "tcp:127.0.0.1:x", 1);
  EXPECT_FALSE(parse_command_line({"status"}, cl, error));
  EXPECT_EQ(error, "ZAMSIM_SOCKET: \"tcp:127.0.0.1:x\" is not a TCP address tcp:HOST:PORT (the port is a number from 1 to 65535)");
  ::setenv("ZAMSIM_SOCKET", "tcp:127.0.0.1:4711", 1);
  ::setenv("ZAMSIM_SECRET", "/tmp/lab/tcp-4711.secret", 1);
  ASSERT_TRUE(parse_command_line({"status"}, cl, error)) << error;
  EXPECT_EQ(cl.socket, "tcp:127.0.0.1:4711");
  EXPECT_EQ(cl.secret, "/tmp/lab/tcp-4711.secret");
  ::unsetenv("ZAMSIM_SOCKET");
  ::unsetenv("ZAMSIM_SECRET");
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
