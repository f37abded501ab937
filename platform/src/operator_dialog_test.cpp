// Dialog prompts: script, auto and terminal backends, time-outs and cancels.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/operator.h"

#include "platform/testing/scripted_operator.h"

namespace {

using platform::dialog_end;
using platform::dialog_kind;
using platform::dialog_request;

dialog_request make(dialog_kind kind, std::vector<std::string> items = {}) {
  dialog_request request;
  request.kind = kind;
  request.caption = "Header";
  request.items = std::move(items);
  return request;
}

class DialogTest : public ::testing::Test {
 protected:
  void use_script(const std::string& content) { operator_.use(content); }
  platform::testing::scripted_operator operator_{"dialogs_"};
};

TEST_F(DialogTest, ScriptAnswersEachKindInOrder) {
  use_script("2\nbeta\ncancel\n3, 1,3\nno\n1\n0x1F\n1f\n42\nserial 7\nOK\n@timeout\n");
  const std::vector<std::string> items{"alpha", "Beta", "gamma"};
  auto reply = platform::ask_dialog(make(dialog_kind::choice, items));
  EXPECT_EQ(reply.end, dialog_end::answered);
  EXPECT_EQ(reply.index, 1u);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::choice, items)).index, 1u);  // by text
  reply = platform::ask_dialog(make(dialog_kind::choice, items));
  EXPECT_EQ(reply.end, dialog_end::cancelled);
  EXPECT_EQ(reply.index, platform::no_selection);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::multi_choice, items)).indices,
            (std::vector<uint32_t>{0, 2}));

  auto yes_no = make(dialog_kind::yes_no);
  yes_no.yes_label = "YES";
  yes_no.no_label = "NO";
  reply = platform::ask_dialog(yes_no);
  EXPECT_TRUE(reply.by_operator);
  EXPECT_FALSE(reply.yes);
  EXPECT_TRUE(platform::ask_dialog(yes_no).yes);

  auto number = make(dialog_kind::number);
  EXPECT_EQ(platform::ask_dialog(number).number, 0x1Fu);
  number.hexadecimal = true;
  EXPECT_EQ(platform::ask_dialog(number).number, 0x1Fu);
  number.hexadecimal = false;
  reply = platform::ask_dialog(number);
  EXPECT_TRUE(reply.has_number);
  EXPECT_EQ(reply.number, 42u);

  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::text)).text, "serial 7");

  // A message that does not wait takes no line; one that waits takes "OK".
  auto message = make(dialog_kind::message);
  message.wait_for_operator = false;
  reply = platform::ask_dialog(message);
  EXPECT_EQ(reply.end, dialog_end::answered);
  EXPECT_FALSE(reply.by_operator);
  message.wait_for_operator = true;
  EXPECT_TRUE(platform::ask_dialog(message).by_operator);

  reply = platform::ask_dialog(make(dialog_kind::text));
  EXPECT_EQ(reply.end, dialog_end::timed_out);
  EXPECT_FALSE(reply.by_operator);

  testing::internal::CaptureStderr();
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::yes_no)).end, dialog_end::failed);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("has no answer left for prompt \"Header\""),
            std::string::npos);
}

TEST_F(DialogTest, ScriptAnswersThatDoNotFitFail) {
  use_script("4\n4294967296\nmaybe\n1,x\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::choice, {"a", "b", "c"})).end, dialog_end::failed);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::number)).end, dialog_end::failed);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::yes_no)).end, dialog_end::failed);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::multi_choice, {"a"})).end, dialog_end::failed);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("answer \"4\" of script"), std::string::npos) << err;
  EXPECT_NE(err.find("from 1 to 3"), std::string::npos) << err;
  EXPECT_NE(err.find("answer \"maybe\""), std::string::npos) << err;
}

TEST_F(DialogTest, AutoTakesFirstEntryYesAndDefaultNumber) {
  ::setenv("ZAM_OPERATOR", "auto", 1);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::choice, {"x", "y"})).index, 0u);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::choice)).end, dialog_end::cancelled);
  EXPECT_EQ(platform::ask_dialog(make(dialog_kind::multi_choice, {"x", "y"})).indices,
            std::vector<uint32_t>{0});
  EXPECT_TRUE(platform::ask_dialog(make(dialog_kind::yes_no)).yes);
  auto number = make(dialog_kind::number);
  number.default_number = 7;
  const auto reply = platform::ask_dialog(number);
  EXPECT_TRUE(reply.has_number && reply.by_operator);
  EXPECT_EQ(reply.number, 7u);
}

// The terminal backend reading a pipe in place of the keyboard.
class TerminalDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(::pipe(keys_), 0);
    saved_stdin_ = ::dup(STDIN_FILENO);
    ::dup2(keys_[0], STDIN_FILENO);
    ::setenv("ZAM_OPERATOR", "tty", 1);
  }
  void TearDown() override {
    ::dup2(saved_stdin_, STDIN_FILENO);
    ::close(saved_stdin_);
    ::close(keys_[0]);
    if (keys_[1] >= 0) ::close(keys_[1]);

  }
  void type(const std::string& keys) { ASSERT_EQ(::write(keys_[1], keys.data(), keys.size()), ssize_t(keys.size())); }
  int keys_[2] = {-1, -1};
  int saved_stdin_ = -1;
};

TEST_F(TerminalDialogTest, TimeOutCancelRetypeAndClosedInput) {
  testing::internal::CaptureStdout();
  auto choice = make(dialog_kind::choice, {"first", "second"});
  choice.timeout_ms = 100;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::ask_dialog(choice).end, dialog_end::timed_out);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  std::atomic<bool> cancel{false};
  auto waiting = make(dialog_kind::message);
  waiting.cancel = &cancel;
  std::thread closer([&] { cancel = true; });
  EXPECT_EQ(platform::ask_dialog(waiting).end, dialog_end::cancelled);
  closer.join();

  type("7\nsecond\n");
  choice.timeout_ms = 0;
  const auto reply = platform::ask_dialog(choice);
  EXPECT_EQ(reply.end, dialog_end::answered);
  EXPECT_EQ(reply.index, 1u);

  ::close(keys_[1]);
  keys_[1] = -1;
  testing::internal::CaptureStderr();
  EXPECT_EQ(platform::ask_dialog(choice).end, dialog_end::failed);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("input closed"), std::string::npos);
  const std::string screen = testing::internal::GetCapturedStdout();
  EXPECT_NE(screen.find("=== Header ===\n  1) first\n  2) second\n  0) Cancel\n"), std::string::npos) << screen;
  EXPECT_NE(screen.find("(answer within 100 ms) > "), std::string::npos) << screen;
  EXPECT_NE(screen.find("No answer within 100 ms: the dialog timed out."), std::string::npos) << screen;
  EXPECT_NE(screen.find("Please type an entry number from 1 to 2, or 0 to cancel."), std::string::npos) << screen;
}

}  // namespace
