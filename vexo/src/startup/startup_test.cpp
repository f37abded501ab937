// Start-up and shut-down against the driver interface library's test double.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "device/device_record.h"
#include "fake_pellor.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "startup/driver_state.h"
#include "startup/framework_handle.h"
#include "startup/settings_path.h"
#include "temp_folder.h"
#include "vexo.h"

namespace {

// The file a library's base name is built as: "Name.dll" on Windows, "libName.so" elsewhere.
std::string lib(const std::string& base) {
  std::string name = platform::shared_library_pattern();
  return name.replace(name.find('*'), 1, base);
}

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;
using vexo_test::write_file;

constexpr uint64_t caller_base = 0xE0000000;
constexpr uint64_t default_window = 52428800;
VEXO_HANDLE_t const untouched = reinterpret_cast<VEXO_HANDLE_t>(0x1);

struct console_output {
  std::string out;
  std::string err;
};

// The cause VEXO_GetSetupProblem gives, checked against its result.
std::string setup_problem() {
  char text[600] = {};
  const int known = VEXO_GetSetupProblem(text, sizeof text);
  EXPECT_EQ(known, text[0] != '\0' ? 1 : 0);
  return text;
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_pellor_reset(); }
  void TearDown() override { CloseVEXO(nullptr); }

  // Puts a built test library into the current folder under `file_name`: a link to the
  // built file, so that the library start-up loads is the one this test drives (a symbolic
  // link on POSIX; on Windows a hard link, which wine's loader knows for the same file).
  void install_library(const std::string& built_name, const std::string& file_name) {
    std::string reason;
    ASSERT_TRUE(platform::link_file(platform::join_path(VEXO_TEST_LIBRARY_DIR, built_name),
                                    (folder.path() / file_name).string(), &reason))
        << reason;
  }
  void write_settings(const std::string& path, const std::string& dll_name) {
    write_file(path, "[DLL]\nDLLName=" + dll_name + "\n");
  }
  std::string default_settings() const { return folder.file("ini/KALIXapp.ini"); }

  template <typename Call>
  console_output capture(Call call) {
    CaptureStdout();
    CaptureStderr();
    call();
    return {GetCapturedStdout(), GetCapturedStderr()};
  }

  vexo_test::temp_folder folder;
  fake_pellor_control& fake = *fake_pellor();
  VEXO_HANDLE_t handle = untouched;
};

TEST_F(StartupTest, DefaultSettingsFileInIniFolderStartsWithDefaultWindow) {
  install_library(lib("FakePellor"), lib("FakePellor"));
  write_settings(default_settings(), "FakePellor.dll");
  VEXO_STATUS_t status = 0;
  const console_output output =
      capture([&] { status = OpenVEXO(&handle, 0, caller_base, nullptr, nullptr); });

  ASSERT_EQ(status, VEXO_STATUS_SUCCESS) << output.out << output.err;
  // "PCIECfgInfo.ini" is looked for in the current folder and read from the system folder;
  // neither has it, so the window gets the caller's base and the default length.
  EXPECT_EQ(output.out,
            "file with name[PCIECfgInfo.ini] cannot be opened\n");
  EXPECT_EQ(output.err, "");
  EXPECT_EQ(fake.open_calls, 1u);
  EXPECT_EQ(fake.query_calls, 1u);
  EXPECT_EQ(fake.set_window_calls, 1u);
  EXPECT_EQ(fake.window_base, caller_base);
  EXPECT_EQ(fake.window_length, default_window);
  EXPECT_EQ(fake.context_at_set_window, fake.context_to_hand_out);
  EXPECT_EQ(fake.card_table_requests, 1u);
  EXPECT_EQ(fake.kep_table_requests, 1u);

  ASSERT_NE(handle, untouched);
  const vexo::framework_handle* record = vexo::framework_from_handle(handle);
  EXPECT_STREQ(record->user_tag, "vexo_user");
  EXPECT_EQ(record->found_devices.count, 0u);
  EXPECT_EQ(record->found_devices.state, vexo::list_set_up);
  EXPECT_EQ(record->found_devices.sentinel.next, &record->found_devices.sentinel);
  EXPECT_EQ(record->spare_list.state, vexo::list_set_up);
}

TEST_F(StartupTest, SettingsPathJoinsWithOneNativeSeparator) {
  using platform::native_path;
  EXPECT_EQ(vexo::settings_file_path("C:\\zam\\ini\\", "KALIXapp.ini"), native_path("C:/zam/ini/KALIXapp.ini"));
  EXPECT_EQ(vexo::settings_file_path("C:\\zam\\ini", "Other.ini"), native_path("C:/zam/ini/Other.ini"));
  EXPECT_EQ(vexo::settings_file_path("/etc/zam/", "a.ini"), native_path("/etc/zam/a.ini"));
  EXPECT_EQ(vexo::settings_file_path("conf", "sub\\a.ini"), native_path("conf/sub/a.ini"));
  EXPECT_EQ(vexo::settings_file_path(nullptr, nullptr), folder.file("ini/KALIXapp.ini"));
  EXPECT_EQ(vexo::settings_file_path(nullptr, "Mine.ini"), folder.file("ini/Mine.ini"));
  // An empty folder (no "VEXOINIFilePath" in the DAT file): the drive's root on Windows, the
  // bare name (the system settings folder) on POSIX.
#ifdef _WIN32
  EXPECT_EQ(vexo::settings_file_path("", "KALIXapp.ini"), "\\KALIXapp.ini");
  EXPECT_EQ(vexo::settings_file_path("", "sub/a.ini"), "\\sub\\a.ini");
#else
  EXPECT_EQ(vexo::settings_file_path("", "KALIXapp.ini"), "KALIXapp.ini");
  EXPECT_EQ(vexo::settings_file_path("", "sub\\a.ini"), "sub/a.ini");
#endif

  // A folder written the Windows way, with a trailing backslash, is found for real.
  install_library(lib("FakePellor"), lib("FakePellor"));
  write_settings(folder.file("conf/Station.ini"), "FakePellor.dll");
  const std::string windows_folder = folder.path().string() + "\\conf\\";
  console_output output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, windows_folder.c_str(), "Station.ini"),
              VEXO_STATUS_SUCCESS);
  });
  EXPECT_EQ(output.out.find("Station.ini"), std::string::npos) << output.out;
}

TEST_F(StartupTest, SettingsFileFailuresStopBeforeLoading) {
  // No settings file: reported on standard output, then the default name stops start-up.
  console_output output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_FAILED);
  });
  EXPECT_EQ(output.out, "file with name[" + default_settings() + "] cannot be opened\n");
  // The documented message names nothing; the line after it names the folder, file and key.
  const std::string no_folder = "settings folder [" + folder.file("ini") + "] does not exist, so settings file [" +
                                default_settings() + "] names no driver library (key DLLName in section [DLL])";
  EXPECT_EQ(output.err, "Failed to find DLL file . Exiting.\nVEXO start-up: " + no_folder + "\n");
  EXPECT_EQ(setup_problem(), no_folder);

  // The folder is there, the file is not.
  std::filesystem::create_directories(folder.file("ini"));
  output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_FAILED);
  });
  const std::string unreadable = "settings file [" + default_settings() +
                                 "] cannot be read, so it names no driver library (key DLLName in section [DLL])";
  EXPECT_EQ(output.err, "Failed to find DLL file . Exiting.\nVEXO start-up: " + unreadable + "\n");
  EXPECT_EQ(setup_problem(), unreadable);

  // A settings file without the key.
  write_file(default_settings(), "[DLL]\nOther=1\n[Elsewhere]\nDLLName=FakePellor.dll\n");
  output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_FAILED);
  });
  EXPECT_EQ(output.out, "");
  const std::string no_key = "settings file [" + default_settings() + "] has no key DLLName in section [DLL]";
  EXPECT_EQ(output.err, "Failed to find DLL file . Exiting.\nVEXO start-up: " + no_key + "\n");
  EXPECT_EQ(setup_problem(), no_key);

  // A library name that is not in the current folder.
  write_settings(default_settings(), "Absent.dll");
  output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_FAILED);
  });
  EXPECT_EQ(output.err, "Failed to open DLL file " + folder.file("Absent.dll") + ". Exiting.\n");
  EXPECT_EQ(setup_problem(), "driver library file [" + folder.file("Absent.dll") + "] does not exist");

  // Names are read into 32 bytes: a longer one is cut to 31 characters.
  write_settings(default_settings(), "ThisDriverLibraryNameIsMuchTooLong.dll");
  output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_FAILED);
  });
  EXPECT_EQ(output.err, "Failed to open DLL file " +
                            folder.file("ThisDriverLibraryNameIsMuchTooL") + ". Exiting.\n");

  EXPECT_EQ(handle, untouched);
  EXPECT_EQ(fake.get_interface_calls, 0u);
  EXPECT_FALSE(vexo::driver_state().library);
  EXPECT_EQ(OpenVEXO(nullptr, 0, caller_base, nullptr, nullptr), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(StartupTest, BindingFailuresKeepTheLibraryUntilClose) {
  install_library(lib("FakePellor"), lib("FakePellor"));
  write_settings(default_settings(), "FakePellor.dll");
  fake.get_interface_result = 0;
  console_output output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_FAILED);
  });
  const std::string refused = "driver library [" + folder.file(lib("FakePellor")) +
                              "] gave no configuration-space table (ConfigDriver_GetInterface returned 0): no "
                              "configuration-space driver was found";
  EXPECT_EQ(output.err, "VEXO start-up: " + refused + "\n");
  EXPECT_EQ(setup_problem(), refused);
  EXPECT_EQ(fake.get_interface_calls, 1u);
  EXPECT_EQ(fake.open_calls, 0u);
  EXPECT_TRUE(vexo::driver_state().library);
  EXPECT_EQ(handle, untouched);
  CloseVEXO(nullptr);
  EXPECT_FALSE(vexo::driver_state().library);

  // A library without the configuration entry point at all.
  install_library(lib("FakePellorNoConfig"), lib("NoConfig"));
  write_settings(default_settings(), "NoConfig.dll");
  output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_FAILED);
  });
  const std::string no_entry = "driver library [" + folder.file(lib("NoConfig")) +
                               "] has no entry point ConfigDriver_GetInterface (no configuration-space table)";
  EXPECT_EQ(output.err, "VEXO start-up: " + no_entry + "\n");
  EXPECT_EQ(setup_problem(), no_entry);
  EXPECT_EQ(handle, untouched);
  CloseVEXO(nullptr);

  // A start-up that succeeds forgets the cause of the one before; this library reports no
  // trouble of its drivers. (It is still in place from the first case: on Windows a library
  // the process has loaded cannot be replaced.)
  write_settings(default_settings(), "FakePellor.dll");
  fake.get_interface_result = 1;
  capture([&] { EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_SUCCESS); });
  char text[8] = {'x', 0};
  EXPECT_EQ(VEXO_GetSetupProblem(text, sizeof text), 0);
  EXPECT_STREQ(text, "");
}

TEST_F(StartupTest, LibraryWithoutCardAndKnownEndpointTablesStillStarts) {
  install_library(lib("FakePellorConfigOnly"), lib("ConfigOnly"));
  write_settings(default_settings(), "ConfigOnly.dll");
  capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_SUCCESS);
  });
  EXPECT_NE(handle, untouched);
  EXPECT_EQ(vexo::driver_state().card_table, nullptr);
  EXPECT_EQ(vexo::driver_state().kep_table, nullptr);

  // Without a card table no record is a card.
  uint8_t config[vexo::config_copy_size] = {0x86, 0x80, 0xD3, 0x10};
  VEXO_DEVICE_HANDLE_t device = nullptr;
  ASSERT_EQ(vexo::make_device_record(0, 0, 0, config, &device), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(vexo::record_from_handle(device)->is_card, 0u);
  vexo::free_device_record(device);
}

TEST_F(StartupTest, DriverInitialisationFailures) {
  const std::string message = "VEXO::PCIExpress VEXO. Initializing software based driver failed\n";
  // A file that is there but is no library.
  write_file(folder.file(lib("Broken")), "not a shared library");
  write_settings(default_settings(), "Broken.dll");
  console_output output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr),
              VEXO_STATUS_DRIVER_INITIALIZATION_FAILED);
  });
  EXPECT_EQ(output.out, message);

  install_library(lib("FakePellor"), lib("FakePellor"));
  write_settings(default_settings(), "FakePellor.dll");
  const auto expect_driver_failure = [&] {
    output = capture([&] {
      EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr),
                VEXO_STATUS_DRIVER_INITIALIZATION_FAILED);
    });
  };
  fake.open_result = 0;
  expect_driver_failure();
  EXPECT_EQ(output.out, message);
  EXPECT_EQ(fake.set_window_calls, 0u);

  fake_pellor_reset();
  fake.offer_open = false;
  expect_driver_failure();
  EXPECT_EQ(output.out, message);

  fake_pellor_reset();
  fake.set_window_result = 0;
  expect_driver_failure();
  EXPECT_EQ(fake.set_window_calls, 1u);

  fake_pellor_reset();
  fake.offer_set_window = false;
  expect_driver_failure();
  EXPECT_EQ(fake.query_calls, 0u);
  EXPECT_EQ(handle, untouched);
}

TEST_F(StartupTest, WindowComesFromDriverThenSettingsThenDefault) {
  install_library(lib("FakePellor"), lib("FakePellor"));
  write_settings(default_settings(), "FakePellor.dll");

  // The driver knows its window: no settings read, no message.
  fake.query_result = 1;
  fake.reported_base = 0xF0000000;
  fake.reported_length = 0x10000000;
  console_output output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_SUCCESS);
  });
  EXPECT_EQ(output.out, "");
  EXPECT_EQ(fake.set_window_calls, 1u);
  EXPECT_EQ(fake.window_base, 0xF0000000u);
  EXPECT_EQ(fake.window_length, 0x10000000u);

  // The driver reports a window but refuses it: the settings decide.
  fake_pellor_reset();
  fake.query_result = 1;
  fake.reported_base = 0xF0000000;
  fake.reported_length = 0x10000000;
  fake.set_window_result = 0;
  capture([&] { OpenVEXO(&handle, 0, caller_base, nullptr, nullptr); });
  EXPECT_EQ(fake.set_window_calls, 2u);
  EXPECT_EQ(fake.window_base, caller_base);
  EXPECT_EQ(fake.window_length, default_window);

  // The bare name is read from the system settings folder.
  fake_pellor_reset();
  write_file((folder.system_dir() / "PCIECfgInfo.ini").string(),
             "[CfgSpaceInfo]\nCfgSpaceLength=268435456\n");
  output = capture([&] {
    EXPECT_EQ(OpenVEXO(&handle, 0, caller_base, nullptr, nullptr), VEXO_STATUS_SUCCESS);
  });
  EXPECT_EQ(fake.window_length, 268435456u);
  EXPECT_EQ(output.out,
            "file with name[PCIECfgInfo.ini] cannot be opened\n");

  // A negative length widens with its sign.
  fake_pellor_reset();
  write_file((folder.system_dir() / "PCIECfgInfo.ini").string(),
             "[CfgSpaceInfo]\nCfgSpaceLength=-1\n");
  capture([&] { OpenVEXO(&handle, 0, caller_base, nullptr, nullptr); });
  EXPECT_EQ(fake.window_length, UINT64_MAX);
}

TEST_F(StartupTest, CloseEndsTheDriverStateForEveryHandle) {
  install_library(lib("FakePellor"), lib("FakePellor"));
  write_settings(default_settings(), "FakePellor.dll");
  VEXO_HANDLE_t first = nullptr, second = nullptr;
  capture([&] {
    ASSERT_EQ(OpenVEXO(&first, 0, caller_base, nullptr, nullptr), VEXO_STATUS_SUCCESS);
    ASSERT_EQ(OpenVEXO(&second, 0, caller_base, nullptr, nullptr), VEXO_STATUS_SUCCESS);
  });
  EXPECT_NE(first, second);
  EXPECT_EQ(fake.get_interface_calls, 2u);
  EXPECT_STREQ(vexo::framework_from_handle(first)->user_tag, "vexo_user");

  EXPECT_EQ(CloseVEXO(first), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(fake.close_calls, 1u);
  EXPECT_EQ(fake.context_at_close, fake.context_to_hand_out);
  EXPECT_FALSE(vexo::driver_state().library);
  EXPECT_EQ(vexo::driver_state().config_table.CloseDriver, nullptr);
  EXPECT_EQ(vexo::driver_state().card_table, nullptr);
  // A second close has nothing left to close.
  EXPECT_EQ(CloseVEXO(second), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(fake.close_calls, 1u);
}

TEST_F(StartupTest, OpenByLibraryPath) {
  install_library(lib("FakePellor"), lib("FakePellor"));
  const std::string path = folder.file("FakePellor.dll");
  // A base above 4 GiB reaches the driver whole, in its low and high halves.
  const uint64_t high_base = 0x3F0000000ull;
  capture([&] {
    EXPECT_EQ(OpenVEXOEx(&handle, 0, path.c_str(), high_base, 0), VEXO_STATUS_SUCCESS);
  });
  EXPECT_EQ(fake.window_base, high_base);
  EXPECT_NE(handle, untouched);

  VEXO_HANDLE_t other = untouched;
  const console_output output = capture([&] {
    EXPECT_EQ(OpenVEXOEx(&other, 0, "/nowhere/Pellor.dll", caller_base, 0), VEXO_STATUS_FAILED);
  });
  EXPECT_EQ(output.err,
            "Failed to open DLL file " + platform::native_path("/nowhere/Pellor.dll") + ". Exiting.\n");
  EXPECT_EQ(other, untouched);
  EXPECT_EQ(OpenVEXOEx(&other, 0, nullptr, caller_base, 0), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(StartupTest, LibraryThatDoesNotLoadLeavesNoStaleTables) {
  install_library(lib("FakePellor"), lib("FakePellor"));
  ASSERT_EQ(OpenVEXOEx(&handle, 0, folder.file("FakePellor.dll").c_str(), caller_base, 0),
            VEXO_STATUS_SUCCESS);
  // A second start-up with a broken library must not open the driver of the first one.
  write_file(folder.file(lib("Broken")), "garbage");
  capture([&] {
    EXPECT_EQ(OpenVEXOEx(&handle, 0, folder.file("Broken.dll").c_str(), caller_base, 0),
              VEXO_STATUS_DRIVER_INITIALIZATION_FAILED);
  });
  EXPECT_EQ(fake.open_calls, 1u);
  EXPECT_EQ(vexo::driver_state().config_table.OpenDriver, nullptr);
}

TEST(EntryPointTableTest, FillsVersionAndStartUpEntries) {
  EXPECT_EQ(VEXOGetIntf(nullptr), VEXO_STATUS_INVALID_PARAMETER);
  VEXO_INTF_TABLE_t table;
  std::memset(&table, 0xAB, sizeof table);
  ASSERT_EQ(VEXOGetIntf(&table), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(sizeof table.word[0], sizeof(void*));
  EXPECT_EQ(table.word[VEXO_INTF_VERSION], 0x00010001u);
  EXPECT_EQ(table.word[VEXO_INTF_OPEN_VEXO], reinterpret_cast<uintptr_t>(&OpenVEXO));
  EXPECT_EQ(table.word[VEXO_INTF_CLOSE_VEXO], reinterpret_cast<uintptr_t>(&CloseVEXO));
  EXPECT_EQ(table.word[10], 0u);
  EXPECT_EQ(table.word[11], 0u);
  EXPECT_EQ(table.word[19], 0u);
}

}  // namespace
