// Public interface of the framework library vexo: status codes, start-up, logs, test
// lifecycle, shared records and the driver interface tables it binds by name.
//
// Conventions
// - Every framework call returns VEXO_STATUS_t: 0 is success, bit 31 set is an error.
//   The exceptions are ParseCmdLineOptions (int) and VEXOGetErrorDesc (text).
//   A null or unsuitable handle gives VEXO_STATUS_INVALID_PARAMETER. Nothing throws.
// - Handles are untyped pointers. The program that receives a handle from an Open...,
//   Create... or Find... call owns it and releases it with the matching Close... call.
//   The framework handle stays valid until the process ends: CloseVEXO ends the driver
//   state but does not free it, since device records may still point to it.
// - Word sizes: every 32-bit quantity is int32_t/uint32_t, 64-bit values uint64_t.
//   Tables of code addresses (VEXOGetIntf, the driver tables) hold pointer-sized words.
// - Threads: the framework and each log are single-threaded; start-up and shut-down must
//   not run while another thread uses the framework.
// - Logs are written unescaped and flushed after every write; free-text writes are cut at
//   2047 characters.
// - VEXOGetErrorDesc and VEXOGetIntf have C names; the other calls are C++ functions
//   exported with their typed signatures (StartTest and StartTestCase are overloaded).
#pragma once

#include <cstdint>

#define VEXO_API __attribute__((visibility("default")))

// ---------------------------------------------------------------------------------------
// Status codes
typedef uint32_t VEXO_STATUS_t;

inline constexpr VEXO_STATUS_t VEXO_STATUS_SUCCESS = 0x00000000;
inline constexpr VEXO_STATUS_t VEXO_STATUS_MULTIPLE_INSTANCES_OF_CAP_FOUND = 0x00000001;
inline constexpr VEXO_STATUS_t VEXO_STATUS_INSUFFICIENT_RESOURCES = 0x80000000;
inline constexpr VEXO_STATUS_t VEXO_STATUS_DRIVER_INITIALIZATION_FAILED = 0x80000001;
inline constexpr VEXO_STATUS_t VEXO_STATUS_INVALID_PARAMETER = 0x80000003;
inline constexpr VEXO_STATUS_t VEXO_STATUS_UNSUPPORTED_PARAMETER = 0x80000004;
inline constexpr VEXO_STATUS_t VEXO_STATUS_FAILED = 0x80000006;
inline constexpr VEXO_STATUS_t VEXO_STATUS_NO_LOG_FILE = 0x80000007;
inline constexpr VEXO_STATUS_t VEXO_STATUS_INVALID_LOG_FILE_HANDLE = 0x80000008;
inline constexpr VEXO_STATUS_t VEXO_STATUS_LOG_FILE_TOO_BIG = 0x80000009;
inline constexpr VEXO_STATUS_t VEXO_STATUS_NO_DAT_FILE = 0x8000000A;
inline constexpr VEXO_STATUS_t VEXO_STATUS_LOG_NOT_OPEN = 0x8000000B;
inline constexpr VEXO_STATUS_t VEXO_STATUS_LOG_WRITE_ERROR = 0x8000000C;
inline constexpr VEXO_STATUS_t VEXO_STATUS_WAIT_ABANDONED = 0x8000000D;
inline constexpr VEXO_STATUS_t VEXO_STATUS_USER_INPUT = 0x8000000E;
inline constexpr VEXO_STATUS_t VEXO_STATUS_DIALOG_TIMED_OUT = 0x8000000F;
inline constexpr VEXO_STATUS_t VEXO_STATUS_TIMEOUT = 0x80000010;
inline constexpr VEXO_STATUS_t VEXO_STATUS_INVALID_DEVICE_HANDLE = 0x80000012;
inline constexpr VEXO_STATUS_t VEXO_STATUS_NOT_SUPPORTED = 0x80000014;
inline constexpr VEXO_STATUS_t VEXO_STATUS_DEVICE_NOT_FOUND = 0x80000016;
inline constexpr VEXO_STATUS_t VEXO_STATUS_FIND_DEVICE_FAILED = 0x8000001C;
inline constexpr VEXO_STATUS_t VEXO_STATUS_PCIE_CONFIG_READ_FAILED = 0x8000001F;
inline constexpr VEXO_STATUS_t VEXO_STATUS_PCIE_CONFIG_WRITE_FAILED = 0x80000020;
inline constexpr VEXO_STATUS_t VEXO_STATUS_PCIE_NO_MORE_CAPS = 0x80000021;
inline constexpr VEXO_STATUS_t VEXO_STATUS_ZAM_NOT_PRESENT = 0x80000022;
inline constexpr VEXO_STATUS_t VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST = 0x80000023;
inline constexpr VEXO_STATUS_t VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND = 0x80000024;

// ---------------------------------------------------------------------------------------
// Handles
typedef void* VEXO_HANDLE_t;         // framework handle, made by OpenVEXO
typedef void* VEXO_LOG_HANDLE_t;     // log handle, made by CreateLog
typedef void* VEXO_DEVICE_HANDLE_t;  // device handle, made by every discovery call

// ---------------------------------------------------------------------------------------
// Logs
typedef uint32_t VEXO_LOG_TYPE_t;
inline constexpr VEXO_LOG_TYPE_t VEXO_LOG_TYPE_XML = 0;
inline constexpr VEXO_LOG_TYPE_t VEXO_LOG_TYPE_RAW_TEXT = 1;
inline constexpr VEXO_LOG_TYPE_t VEXO_LOG_TYPE_CONSOLE = 2;
inline constexpr VEXO_LOG_TYPE_t VEXO_LOG_TYPE_RESERVED = 3;  // refused

// Open mode of an XML log; the plain-text and console logs always append.
typedef uint32_t VEXO_LOG_ACTION_t;
inline constexpr VEXO_LOG_ACTION_t VEXO_LOG_ACTION_CREATE = 0;
inline constexpr VEXO_LOG_ACTION_t VEXO_LOG_ACTION_APPEND = 1;
inline constexpr VEXO_LOG_ACTION_t VEXO_LOG_ACTION_OVERWRITE = 2;

// Message levels of WriteToLog and LogAssert (signed 32-bit).
inline constexpr int32_t VEXO_LOG_SUCCESS = 0x00000000;
inline constexpr int32_t VEXO_LOG_INFO = 0x04000000;
inline constexpr int32_t VEXO_LOG_WARNING = 0x08000000;
inline constexpr int32_t VEXO_LOG_ERROR = 0x20000000;
inline constexpr int32_t VEXO_LOG_ABORT = 0x40000000;
inline constexpr int32_t VEXO_LOG_FAIL = static_cast<int32_t>(0x80000000u);

// Assertion identifier of the compliance checklist, named in logs as
// prefix + part1 "." part2 "#" part3 "." part4 (e.g. "TXN.2.8#1.4").
enum VEXO_TEST_CATEGORY_t : uint32_t {
  VEXO_TEST_CATEGORY_PHY = 0,
  VEXO_TEST_CATEGORY_PHYLINK = 1,
  VEXO_TEST_CATEGORY_CFG = 2,
  VEXO_TEST_CATEGORY_EM = 3,
  VEXO_TEST_CATEGORY_SYS = 4,
  VEXO_TEST_CATEGORY_DLL = 5,
  VEXO_TEST_CATEGORY_TXN = 6,
};

typedef struct VEXO_TEST_NUM_t {
  uint32_t category;  // VEXO_TEST_CATEGORY_t
  char identifier[10];
  char part1[5];
  char part2[5];
  char part3[5];
  char part4[5];
} VEXO_TEST_NUM_t;

// ---------------------------------------------------------------------------------------
// Driver interface library tables, bound by entry-point name at start-up.
// Arguments are 32-bit unless said otherwise; 64-bit values are passed whole.

typedef uint32_t (*CFG_OPEN_DRIVER_t)(uint32_t* driver);
typedef uint32_t (*CFG_SET_WINDOW_t)(uint32_t driver, uint64_t base, uint64_t length);
typedef uint32_t (*CFG_QUERY_MCFG_t)(uint32_t driver, uint64_t* base, uint8_t* start_bus,
                                     uint8_t* end_bus, uint64_t* length);
typedef uint32_t (*CFG_GET_WINDOW_t)(uint32_t driver, uint64_t* first, uint64_t* second);
typedef uint32_t (*CFG_ACCESS_t)(uint32_t driver, uint32_t bus, uint32_t device,
                                 uint32_t function, uint32_t offset, uint32_t length,
                                 void* buffer);
typedef uint32_t (*CFG_CLOSE_DRIVER_t)(uint32_t driver);
typedef uint32_t (*CFG_SPARE_t)(void);

typedef struct CONFIG_DRIVER_INTERFACE_t {
  CFG_OPEN_DRIVER_t OpenDriver;          // 0
  CFG_SET_WINDOW_t SetCfgWindow;         // 1
  CFG_QUERY_MCFG_t QueryMcfg;            // 2
  CFG_GET_WINDOW_t GetCfgWindow;         // 3
  CFG_ACCESS_t ReadConfig;               // 4: arguments checked, buffer cleared first
  CFG_ACCESS_t ReadConfigNoCheck;        // 5
  CFG_ACCESS_t WriteConfig;              // 6
  CFG_CLOSE_DRIVER_t CloseDriver;        // 7
  CFG_SPARE_t Spare8;                    // 8
  CFG_SPARE_t Spare9;                    // 9
} CONFIG_DRIVER_INTERFACE_t;

typedef uint32_t (*ZAM_BDF_t)(uint32_t bus, uint32_t device, uint32_t function);
typedef uint32_t (*ZAM_BDF_OUT_t)(uint32_t bus, uint32_t device, uint32_t function,
                                  uint32_t* value);
typedef uint32_t (*ZAM_BDF_IN_t)(uint32_t bus, uint32_t device, uint32_t function,
                                 uint32_t value);
typedef uint32_t (*ZAM_READ_TRACE_t)(uint32_t bus, uint32_t device, uint32_t function,
                                     uint32_t* byte_count, void* destination);
typedef uint32_t (*ZAM_PROGRAM_t)(uint32_t bus, uint32_t device, uint32_t function,
                                  const void* command_map_48_bytes);
typedef uint32_t (*ZAM_FIND_UPSTREAM_PAIR_t)(
    uint32_t bus, uint32_t device, uint32_t function, uint32_t* grandparent_bus,
    uint32_t* grandparent_device, uint32_t* grandparent_function,
    uint8_t* grandparent_config_256, uint32_t* parent_bus, uint32_t* parent_device,
    uint32_t* parent_function, uint8_t* parent_config_256);

typedef struct ZAM_LIB_INTERFACE_t {
  ZAM_BDF_t IsZamDevice;                     // 0: 1 when a card record has this BDF
  ZAM_BDF_OUT_t GetTraceConfig;              // 1
  ZAM_BDF_IN_t SetTraceConfig;               // 2
  ZAM_BDF_OUT_t GetTraceByteCount;           // 3
  ZAM_BDF_IN_t WritePatternToTrace;          // 4
  ZAM_READ_TRACE_t ReadTrace;                // 5
  ZAM_BDF_OUT_t GetProperties;               // 6
  ZAM_BDF_t Command3;                        // 7
  ZAM_BDF_t Disarm;                          // 8
  ZAM_BDF_OUT_t GetActionCount;              // 9
  ZAM_BDF_t Arm;                             // 10
  ZAM_PROGRAM_t ProgramCommand;              // 11
  ZAM_BDF_IN_t SetMode;                      // 12
  ZAM_BDF_OUT_t GetMode;                     // 13
  ZAM_BDF_t SuspendLogging;                  // 14
  ZAM_BDF_t ResumeLogging;                   // 15
  ZAM_FIND_UPSTREAM_PAIR_t FindUpstreamPair;  // 16
} ZAM_LIB_INTERFACE_t;

typedef struct KEP_LIB_INTERFACE_t {
  ZAM_BDF_t IsKepDevice;  // 0: 1 when a known-endpoint record has this BDF
  void* Reserved1;
  void* Reserved2;
  void* Reserved3;
} KEP_LIB_INTERFACE_t;

// Entry points of the driver interface library, looked up by these names.
typedef uint32_t (*CONFIG_DRIVER_GET_INTERFACE_t)(CONFIG_DRIVER_INTERFACE_t* table);
typedef uint32_t (*ZAM_LIB_OPEN_ZAM_INTERFACE_t)(ZAM_LIB_INTERFACE_t** table);
typedef uint32_t (*KEP_LIB_OPEN_KEP_INTERFACE_t)(KEP_LIB_INTERFACE_t** table);

// ---------------------------------------------------------------------------------------
// Entry-point table handed out by VEXOGetIntf: twenty pointer-sized words.
enum VEXO_INTF_WORD_t : uint32_t {
  VEXO_INTF_VERSION = 0,
  VEXO_INTF_OPEN_VEXO = 1,
  VEXO_INTF_CLOSE_VEXO = 2,
  VEXO_INTF_CHANGE_ZAM_MODE = 3,
  VEXO_INTF_QUERY_ZAM_MODE = 4,
  VEXO_INTF_PROGRAM_ZAM_CMD = 5,
  VEXO_INTF_ARM_ZAM = 6,
  VEXO_INTF_DISARM_ZAM = 7,
  VEXO_INTF_OPEN_DEVICE = 8,
  VEXO_INTF_CLOSE_DEVICE = 9,
  VEXO_INTF_READ_CONFIG_SPACE = 12,
  VEXO_INTF_WRITE_CONFIG_SPACE = 13,
  VEXO_INTF_SET_CONFIG_MASK_TRACE_BUF = 14,
  VEXO_INTF_FIND_DEVICE_BY_BDF = 15,
  VEXO_INTF_FIND_DEVICE_BY_IDS = 16,
  VEXO_INTF_FIND_DEVICE_BY_INFO = 17,
  VEXO_INTF_WRITE_DEVICE_STATUS_REG = 18,
  VEXO_INTF_WORD_COUNT = 20,
};
inline constexpr uintptr_t VEXO_INTF_TABLE_VERSION = 0x00010001;

typedef struct VEXO_INTF_TABLE_t {
  uintptr_t word[VEXO_INTF_WORD_COUNT];
} VEXO_INTF_TABLE_t;

// ---------------------------------------------------------------------------------------
// Start-up and status

// Fills the DAT and log file names from "-d <file>" and "-l <file>" (options compared
// without regard to case). Each buffer must hold at least 1000 bytes; at most 999
// characters are copied. Returns 1 when "-h" was given, else 0.
VEXO_API int ParseCmdLineOptions(int argc, const char* const argv[], char* dat_file_name,
                                 char* log_file_name);

// Loads the driver interface library named in the settings file ("KALIXapp.ini" in
// "<current directory>/ini/" unless given), binds its tables, opens the configuration-space
// driver with its window and hands out a framework handle.
VEXO_API VEXO_STATUS_t OpenVEXO(VEXO_HANDLE_t* handle, int reserved, uint64_t config_base,
                                const char* settings_dir, const char* settings_file);

// As OpenVEXO, with the driver interface library given by path.
VEXO_API VEXO_STATUS_t OpenVEXOEx(VEXO_HANDLE_t* handle, int reserved,
                                  const char* driver_library_path, uint64_t config_base,
                                  uint32_t reserved2);

// Closes the configuration-space driver and unloads the driver interface library.
VEXO_API VEXO_STATUS_t CloseVEXO(VEXO_HANDLE_t handle);

extern "C" {
// The constant message text of a status code ("VEXO :: Invalid Error Code" when unknown).
VEXO_API const char* VEXOGetErrorDesc(VEXO_STATUS_t status);
// Fills the versioned table of the framework's entry points.
VEXO_API VEXO_STATUS_t VEXOGetIntf(VEXO_INTF_TABLE_t* table);
}

// ---------------------------------------------------------------------------------------
// Logs

// Creates a log of the given kind; a file that cannot be opened does not make creation fail
// (the log then answers writes with VEXO_STATUS_LOG_NOT_OPEN). The framework handle is not
// read and may be null.
VEXO_API VEXO_STATUS_t CreateLog(VEXO_HANDLE_t framework, VEXO_LOG_HANDLE_t* log,
                                 VEXO_LOG_TYPE_t type, const char* file_name,
                                 VEXO_LOG_ACTION_t action);
VEXO_API VEXO_STATUS_t CloseLog(VEXO_LOG_HANDLE_t log);
VEXO_API VEXO_STATUS_t WriteToLog(VEXO_LOG_HANDLE_t log, int32_t level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
VEXO_API VEXO_STATUS_t EnableLogging(VEXO_LOG_HANDLE_t log);
VEXO_API VEXO_STATUS_t DisableLogging(VEXO_LOG_HANDLE_t log);

// ---------------------------------------------------------------------------------------
// Test lifecycle and assertions

VEXO_API VEXO_STATUS_t StartTest(VEXO_LOG_HANDLE_t log, const char* name);
// XML logs only: writes the test element with its assertions and device under test.
VEXO_API VEXO_STATUS_t StartTest(VEXO_LOG_HANDLE_t log, const char* name,
                                 const VEXO_TEST_NUM_t* numbers, uint32_t count,
                                 VEXO_DEVICE_HANDLE_t device_under_test);
VEXO_API VEXO_STATUS_t StopTest(VEXO_LOG_HANDLE_t log);
VEXO_API VEXO_STATUS_t StartTestCase(VEXO_LOG_HANDLE_t log, const char* name);
// XML logs only.
VEXO_API VEXO_STATUS_t StartTestCase(VEXO_LOG_HANDLE_t log, const char* name,
                                     const VEXO_TEST_NUM_t* numbers, uint32_t count);
VEXO_API VEXO_STATUS_t StopTestCase(VEXO_LOG_HANDLE_t log);
VEXO_API VEXO_STATUS_t LogAssert(VEXO_LOG_HANDLE_t log, int32_t level,
                                 const VEXO_TEST_NUM_t* number, const char* message);
