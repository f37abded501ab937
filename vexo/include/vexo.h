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

#include "zam_export.h"

#define VEXO_API ZAM_EXPORT

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
// Arguments are 32-bit unless said otherwise; the window's 64-bit base and length are
// passed as low and high halves.

// pellor/pellor.h declares the same three tables; test programs that include it first
// (to drive fake drivers) take its declarations.
#ifndef PELLOR_PELLOR_H
typedef uint32_t (*CFG_OPEN_DRIVER_t)(uint32_t* driver);
typedef uint32_t (*CFG_SET_WINDOW_t)(uint32_t driver, uint32_t base_low, uint32_t base_high,
                                     uint32_t length_low, uint32_t length_high);
typedef uint32_t (*CFG_QUERY_MCFG_t)(uint32_t driver, uint64_t* base, uint8_t* start_bus,
                                     uint8_t* end_bus, uint64_t* length);
typedef uint32_t (*CFG_GET_WINDOW_t)(uint32_t driver, uint64_t* first, uint64_t* second);
typedef uint32_t (*CFG_READ_t)(uint32_t driver, uint32_t bus, uint32_t device,
                               uint32_t function, uint32_t offset, uint32_t length, void* buffer);
typedef uint32_t (*CFG_WRITE_t)(uint32_t driver, uint32_t bus, uint32_t device,
                                uint32_t function, uint32_t offset, uint32_t length,
                                const void* buffer);
typedef void (*CFG_CLOSE_DRIVER_t)(uint32_t driver);
typedef uint32_t (*CFG_SPARE_t)(void);

typedef struct CONFIG_DRIVER_INTERFACE_t {
  CFG_OPEN_DRIVER_t OpenDriver;          // 0
  CFG_SET_WINDOW_t SetCfgWindow;         // 1
  CFG_QUERY_MCFG_t QueryMcfg;            // 2
  CFG_GET_WINDOW_t GetCfgWindow;         // 3
  CFG_READ_t ReadConfig;                 // 4: arguments checked, buffer cleared first
  CFG_READ_t ReadConfigNoCheck;          // 5
  CFG_WRITE_t WriteConfig;               // 6
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

typedef uint32_t (*KEP_RESERVED_t)(void);

typedef struct KEP_LIB_INTERFACE_t {
  ZAM_BDF_t IsKepDevice;  // 0: 1 when a known-endpoint record has this BDF
  KEP_RESERVED_t Reserved1;  // 1-3: always null
  KEP_RESERVED_t Reserved2;
  KEP_RESERVED_t Reserved3;
} KEP_LIB_INTERFACE_t;

#endif  // PELLOR_PELLOR_H

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

// Why the framework's drivers cannot serve: the cause of the last failed start-up (a
// settings file, key or driver library and what is wrong with it), else the trouble the
// loaded driver library reports (its drivers stopped answering: the lab went away or did not
// answer in time). Copies the text, cut to size - 1 characters, and returns 1; returns 0 with
// an empty text when nothing is known to be wrong.
VEXO_API int VEXO_GetSetupProblem(char* text, unsigned int size);

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

// =======================================================================================
// Devices: discovery, configuration space, capability lists and link control.
//
// - Device handles come from FindDevice, the FindFirst.../FindNext... calls,
//   VEXO_GetUpStreamPort and the parent lookup of OpenDevice; each is a separate record
//   that its receiver frees with CloseDevice (which frees nothing the record points to).
// - Capability handles are separate records freed with VEXO_FreeCapabilityHandle; they hold
//   the device handle but do not keep the device alive.
// - Every configuration access goes through the configuration table bound at start-up;
//   without one, reads and writes move nothing and fail.
// - Diagnostics of the capability walks and link control go to standard output.
// =======================================================================================

// ---------------------------------------------------------------------------------------
// Device discovery

// PCI Express Device/Port Type (PCIe Base 4.0 sec 7.5.3.2, bits 4-7).
enum VEXO_DEV_PORT_TYPE_t : uint32_t {
  VEXO_DEV_ENDPOINT = 0,
  VEXO_DEV_LEGACY_ENDPOINT = 1,
  VEXO_DEV_ROOT_PORT = 4,
  VEXO_DEV_SWITCH_UPSTREAM_PORT = 5,
  VEXO_DEV_SWITCH_DOWNSTREAM_PORT = 6,
  VEXO_DEV_PCIE_TO_PCI_BRIDGE = 7,
};

// What FindDevice with a find-information record matches (the flags may be combined).
inline constexpr uint32_t VEXO_FIND_BY_IDS = 0x3;      // vendor and device ID
inline constexpr uint32_t VEXO_FIND_BY_CLASS = 0x4;    // class code (wins over the others)
inline constexpr uint32_t VEXO_FIND_BY_BDF = 0x1000;   // bus, device and function

#pragma pack(push, 1)
typedef struct VEXO_DEVICE_FIND_INFO_t {
  uint16_t vendor_id;
  uint16_t device_id;
  uint8_t bus;
  uint8_t unused;  // not read
  uint8_t device;
  uint8_t function;
  uint8_t base_class;
  uint8_t sub_class;
  uint8_t programming_interface;
} VEXO_DEVICE_FIND_INFO_t;
#pragma pack(pop)
static_assert(sizeof(VEXO_DEVICE_FIND_INFO_t) == 11, "find information is 11 bytes");

// Accepted and not interpreted.
typedef uint32_t VEXO_ENUM_METHOD_t;
typedef uint32_t VEXO_ENUM_STOP_POINT_t;
typedef uint32_t VEXO_ACCESS_MODE_t;

VEXO_API VEXO_STATUS_t EnumerateDevice(VEXO_HANDLE_t handle, VEXO_ENUM_METHOD_t method,
                                       VEXO_ENUM_STOP_POINT_t stop_point, unsigned short value,
                                       unsigned int flags);
// The function at exactly this bus/device/function.
VEXO_API VEXO_STATUS_t FindDevice(unsigned char bus, unsigned char device,
                                  unsigned char function, VEXO_DEVICE_HANDLE_t* dev);
// The first function with these IDs (device ID first).
VEXO_API VEXO_STATUS_t FindDevice(unsigned short device_id, unsigned short vendor_id,
                                  VEXO_DEVICE_HANDLE_t* dev);
// The function with these IDs at exactly this bus/device/function.
VEXO_API VEXO_STATUS_t FindDevice(unsigned short device_id, unsigned short vendor_id,
                                  unsigned char bus, unsigned char device,
                                  unsigned char function, VEXO_DEVICE_HANDLE_t* dev);
// Dispatches on the VEXO_FIND_BY_... flags; a found non-card record joins the handle's list.
VEXO_API VEXO_STATUS_t FindDevice(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev,
                                  unsigned int flags, VEXO_DEVICE_FIND_INFO_t* info);

// First function of a port type from 0:0.0; the framework handle is not used.
VEXO_API VEXO_STATUS_t FindFirstEndpoint(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindFirstLegacyEndpoint(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindFirstRootPort(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindFirstSwitch(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindFirstDownSwitch(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindFirstBridge(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev);
// Next function of a port type after the previous record's bus/device/function.
VEXO_API VEXO_STATUS_t FindNextEndpoint(VEXO_DEVICE_HANDLE_t previous, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindNextLegacyEndpoint(VEXO_DEVICE_HANDLE_t previous,
                                              VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindNextRootPort(VEXO_DEVICE_HANDLE_t previous, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindNextSwitch(VEXO_DEVICE_HANDLE_t previous, VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindNextDownSwitch(VEXO_DEVICE_HANDLE_t previous,
                                          VEXO_DEVICE_HANDLE_t* dev);
VEXO_API VEXO_STATUS_t FindNextBridge(VEXO_DEVICE_HANDLE_t previous, VEXO_DEVICE_HANDLE_t* dev);

// Looks up and stores the parent (by port type) and marks the record opened.
VEXO_API VEXO_STATUS_t OpenDevice(VEXO_DEVICE_HANDLE_t dev, VEXO_ACCESS_MODE_t mode);
VEXO_API VEXO_STATUS_t CloseDevice(VEXO_DEVICE_HANDLE_t dev);
VEXO_API VEXO_STATUS_t GetParentDevice(VEXO_DEVICE_HANDLE_t dev, VEXO_DEVICE_HANDLE_t* parent);
// Always VEXO_STATUS_NOT_SUPPORTED.
VEXO_API VEXO_STATUS_t GetParentPort(VEXO_DEVICE_HANDLE_t dev, VEXO_DEVICE_HANDLE_t* port);
// A new record for the bridge whose secondary bus is the device's bus; null when none.
VEXO_API VEXO_DEVICE_HANDLE_t VEXO_GetUpStreamPort(VEXO_DEVICE_HANDLE_t dev);

VEXO_API VEXO_STATUS_t GetBusNumber(VEXO_DEVICE_HANDLE_t dev, unsigned char* bus);
VEXO_API VEXO_STATUS_t GetDeviceNumber(VEXO_DEVICE_HANDLE_t dev, unsigned char* device);
VEXO_API VEXO_STATUS_t GetFunctionNumber(VEXO_DEVICE_HANDLE_t dev, unsigned char* function);
VEXO_API VEXO_STATUS_t GetVendorID(VEXO_DEVICE_HANDLE_t dev, unsigned short* vendor_id);
VEXO_API VEXO_STATUS_t GetDeviceID(VEXO_DEVICE_HANDLE_t dev, unsigned short* device_id);
VEXO_API VEXO_STATUS_t GetHeaderType(VEXO_DEVICE_HANDLE_t dev, unsigned char* header_type);
VEXO_API VEXO_STATUS_t GetDeviceType(VEXO_DEVICE_HANDLE_t dev, VEXO_DEV_PORT_TYPE_t* type);
// 1 when the record's function number is not 0.
VEXO_API VEXO_STATUS_t IsMultiFunction(VEXO_DEVICE_HANDLE_t dev, int* multi_function);
VEXO_API VEXO_STATUS_t VEXO_GetDeviceProperties(VEXO_DEVICE_HANDLE_t dev, unsigned char* bus,
                                                unsigned char* device, unsigned char* function,
                                                unsigned short* vendor_id,
                                                unsigned short* device_id);

// ---------------------------------------------------------------------------------------
// Configuration space

// The standard type 0/1 header (PCI Local Bus 3.0 sec 6.1); not filled by the calls below.
typedef struct PCI_CONFIG_SPACE_HEADER_t {
  uint8_t bytes[64];
} PCI_CONFIG_SPACE_HEADER_t;

// *length bytes at offset; *length receives the count moved (the full length or 0).
VEXO_API VEXO_STATUS_t ReadConfigSpace(VEXO_DEVICE_HANDLE_t dev, void* buffer,
                                       unsigned int offset, unsigned int* length);
VEXO_API VEXO_STATUS_t WriteConfigSpace(VEXO_DEVICE_HANDLE_t dev, void* buffer,
                                        unsigned int offset, unsigned int* length);
// Any bus/device/function without a record, unchecked; returns the count read (length or 0).
VEXO_API unsigned int VEXO_ReadConfigSpace_Ex(unsigned int bus, unsigned int device,
                                              unsigned int function, unsigned int offset,
                                              unsigned int length, unsigned char* buffer);
// 1 when the driver reported its memory-mapped window (outputs filled), else 0.
VEXO_API int QueryAcpiMcfgTableInfo(uint64_t* base, uint8_t* start_bus, uint8_t* end_bus,
                                    uint64_t* length);
VEXO_API VEXO_STATUS_t GetDevConfigSpace(VEXO_DEVICE_HANDLE_t dev,
                                         PCI_CONFIG_SPACE_HEADER_t** header);
VEXO_API VEXO_STATUS_t GetDevConfigPtr(VEXO_DEVICE_HANDLE_t dev,
                                       PCI_CONFIG_SPACE_HEADER_t** header);

// ---------------------------------------------------------------------------------------
// Capability lists

typedef void* VEXO_CAP_HANDLE_t;
typedef uint32_t VEXO_PCI_CAPABILITY_TYPE_t;   // PCI capability ID (8 bits)
typedef uint32_t VEXO_PCIE_CAPABILITY_TYPE_t;  // extended capability ID (16 bits)

inline constexpr VEXO_PCI_CAPABILITY_TYPE_t VEXO_PCI_CAP_POWER_MANAGEMENT = 0x01;
inline constexpr VEXO_PCI_CAPABILITY_TYPE_t VEXO_PCI_CAP_MSI = 0x05;
inline constexpr VEXO_PCI_CAPABILITY_TYPE_t VEXO_PCI_CAP_VENDOR_SPECIFIC = 0x09;
inline constexpr VEXO_PCI_CAPABILITY_TYPE_t VEXO_PCI_CAP_PCI_EXPRESS = 0x10;
inline constexpr VEXO_PCI_CAPABILITY_TYPE_t VEXO_PCI_CAP_MSI_X = 0x11;
inline constexpr VEXO_PCIE_CAPABILITY_TYPE_t VEXO_PCIE_CAP_ADV_ERR_REP = 0x0001;
inline constexpr VEXO_PCIE_CAPABILITY_TYPE_t VEXO_PCIE_CAP_VIRTUAL_CHANNEL = 0x0002;
inline constexpr VEXO_PCIE_CAPABILITY_TYPE_t VEXO_PCIE_CAP_SERIAL_NUMBER = 0x0003;
inline constexpr VEXO_PCIE_CAPABILITY_TYPE_t VEXO_PCIE_CAP_POWER_BUDGETING = 0x0004;

typedef struct VEXO_PCI_DEVICE_CAP_INFO_t {
  uint32_t offset;
  uint32_t id;
  uint32_t length;
  uint32_t next;
} VEXO_PCI_DEVICE_CAP_INFO_t;

typedef struct PCI_CAPABILITY_HEADER_t {
  uint8_t id;
  uint8_t next;
} PCI_CAPABILITY_HEADER_t;

#pragma pack(push, 1)
// PCI Express capability, first 36 bytes (PCIe Base 4.0 sec 7.5.3).
typedef struct PCIE_CAPABILITY_STRUCT_t {
  uint8_t id;
  uint8_t next;
  uint16_t capabilities;  // bits 4-7: VEXO_DEV_PORT_TYPE_t
  uint32_t device_capabilities;
  uint16_t device_control;
  uint16_t device_status;
  uint32_t link_capabilities;
  uint16_t link_control;  // bit 4 Link Disable, bit 5 Retrain Link
  uint16_t link_status;   // bit 11 Link Training
  uint32_t slot_capabilities;
  uint16_t slot_control;
  uint16_t slot_status;
  uint16_t root_control;
  uint16_t root_capabilities;
  uint32_t root_status;
} PCIE_CAPABILITY_STRUCT_t;
static_assert(sizeof(PCIE_CAPABILITY_STRUCT_t) == 36, "36 bytes are copied");

// Power management capability (PCI Bus Power Management 1.2 sec 3.2).
typedef struct PCI_POWER_MANAGEMENT_CAPABILITY_STRUCT {
  uint8_t id;
  uint8_t next;
  uint16_t capabilities;
  uint16_t control_status;
  uint8_t bridge_extensions;
  uint8_t data;
} PCI_POWER_MANAGEMENT_CAPABILITY_STRUCT;
static_assert(sizeof(PCI_POWER_MANAGEMENT_CAPABILITY_STRUCT) == 8, "8 bytes are copied");

// MSI with 32-bit message address (PCI Local Bus 3.0 sec 6.8.1), padded to the 20 copied.
typedef struct PCI_MSI_CAPABILITY_32_STRUCT_t {
  uint8_t id;
  uint8_t next;
  uint16_t message_control;  // bit 7: 64-bit address capable
  uint32_t message_address;
  uint16_t message_data;
  uint8_t reserved[10];
} PCI_MSI_CAPABILITY_32_STRUCT_t;
static_assert(sizeof(PCI_MSI_CAPABILITY_32_STRUCT_t) == 20, "20 bytes are copied");

// MSI with 64-bit message address, with the per-vector mask and pending words.
typedef struct PCI_MSI_CAPABILITY_64_STRUCT_t {
  uint8_t id;
  uint8_t next;
  uint16_t message_control;
  uint32_t message_address;
  uint32_t message_upper_address;
  uint16_t message_data;
  uint16_t reserved;
  uint32_t mask_bits;
} PCI_MSI_CAPABILITY_64_STRUCT_t;
static_assert(sizeof(PCI_MSI_CAPABILITY_64_STRUCT_t) == 20, "20 bytes are copied");

// MSI-X (PCI Local Bus 3.0 sec 6.8.2); nothing is copied into it, only the handle is useful.
typedef struct PCI_MSI_X_CAPABILITY_STRUCT_t {
  uint8_t id;
  uint8_t next;
  uint16_t message_control;
  uint32_t table_offset_bir;
  uint32_t pba_offset_bir;
} PCI_MSI_X_CAPABILITY_STRUCT_t;

// Advanced error reporting (PCIe Base 4.0 sec 7.8.4), padded to the 60 copied.
typedef struct PCIE_ADV_ERR_REP_CAP_STRUCT_t {
  uint32_t header;
  uint32_t uncorrectable_status;
  uint32_t uncorrectable_mask;
  uint32_t uncorrectable_severity;
  uint32_t correctable_status;
  uint32_t correctable_mask;
  uint32_t capabilities_control;
  uint32_t header_log[4];
  uint32_t root_error_command;
  uint32_t root_error_status;
  uint32_t error_source_id;
  uint32_t reserved;
} PCIE_ADV_ERR_REP_CAP_STRUCT_t;
static_assert(sizeof(PCIE_ADV_ERR_REP_CAP_STRUCT_t) == 60, "60 bytes are copied");

// Virtual channel (PCIe Base 4.0 sec 7.9.1), header, port registers and VC0 resource.
typedef struct PCIE_VIRTUAL_CHANNEL_CAPABILITY_STRUCT_t {
  uint32_t header;
  uint32_t port_capabilities_1;
  uint32_t port_capabilities_2;
  uint16_t port_control;
  uint16_t port_status;
  uint32_t vc0_resource_capability;
  uint32_t vc0_resource_control;
  uint16_t reserved;
  uint16_t vc0_resource_status;
} PCIE_VIRTUAL_CHANNEL_CAPABILITY_STRUCT_t;
static_assert(sizeof(PCIE_VIRTUAL_CHANNEL_CAPABILITY_STRUCT_t) == 28, "28 bytes are copied");

// Device serial number (PCIe Base 4.0 sec 7.9.3).
typedef struct PCIE_DEV_SERIAL_NUM_CAPABILITY_STRUCT {
  uint32_t header;
  uint32_t serial_low;
  uint32_t serial_high;
} PCIE_DEV_SERIAL_NUM_CAPABILITY_STRUCT;
static_assert(sizeof(PCIE_DEV_SERIAL_NUM_CAPABILITY_STRUCT) == 12, "12 bytes are copied");

// Power budgeting (PCIe Base 4.0 sec 7.8.1), padded to the 24 copied.
typedef struct PCIE_POWER_BUDGET_CAPABILITY_STRUCT_t {
  uint32_t header;
  uint8_t data_select;
  uint8_t reserved1[3];
  uint32_t data;
  uint8_t capability;
  uint8_t reserved2[3];
  uint32_t reserved3[2];
} PCIE_POWER_BUDGET_CAPABILITY_STRUCT_t;
static_assert(sizeof(PCIE_POWER_BUDGET_CAPABILITY_STRUCT_t) == 24, "24 bytes are copied");
#pragma pack(pop)

// Searches the PCI list (from 0x34, or from start_offset when not 0) for the ID. With
// search_all set, every instance is counted and a second one gives
// VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND. A list that loops is refused with
// VEXO_STATUS_INVALID_PARAMETER.
VEXO_API VEXO_STATUS_t HelpGetPCICapability(VEXO_DEVICE_HANDLE_t dev, VEXO_PCI_CAPABILITY_TYPE_t id,
                                            unsigned int start_offset, int search_all,
                                            void* record, VEXO_CAP_HANDLE_t* cap);
// Searches the extended list from 0x100 (start_offset is ignored); likewise.
VEXO_API VEXO_STATUS_t HelpGetPCIECapability(VEXO_DEVICE_HANDLE_t dev,
                                             VEXO_PCIE_CAPABILITY_TYPE_t id,
                                             unsigned int start_offset, int search_all,
                                             void* record, VEXO_CAP_HANDLE_t* cap);

VEXO_API VEXO_STATUS_t GetPCIECapability(VEXO_DEVICE_HANDLE_t dev,
                                         PCIE_CAPABILITY_STRUCT_t* record,
                                         VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t GetPowerManagementCapability(
    VEXO_DEVICE_HANDLE_t dev, PCI_POWER_MANAGEMENT_CAPABILITY_STRUCT* record,
    VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t GetMSIXCapability(VEXO_DEVICE_HANDLE_t dev,
                                         PCI_MSI_X_CAPABILITY_STRUCT_t* record,
                                         VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t GetAdvErrRepCapability(VEXO_DEVICE_HANDLE_t dev,
                                              PCIE_ADV_ERR_REP_CAP_STRUCT_t* record,
                                              VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t GetDeviceVirtualChannelCapability(
    VEXO_DEVICE_HANDLE_t dev, PCIE_VIRTUAL_CHANNEL_CAPABILITY_STRUCT_t* record,
    VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t GetDeviceSerialNumberCapability(
    VEXO_DEVICE_HANDLE_t dev, PCIE_DEV_SERIAL_NUM_CAPABILITY_STRUCT* record,
    VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t GetPowerBudgetingCapability(VEXO_DEVICE_HANDLE_t dev,
                                                   PCIE_POWER_BUDGET_CAPABILITY_STRUCT_t* record,
                                                   VEXO_CAP_HANDLE_t* cap);
// Count the MSI capabilities of one addressing kind: 0 for one, ..._MULTIPLE_... for more,
// ..._CAP_DOES_NOT_EXIST for none. The record and handle are those of the last one counted.
VEXO_API VEXO_STATUS_t Get32BitMSICapability(VEXO_DEVICE_HANDLE_t dev,
                                             PCI_MSI_CAPABILITY_32_STRUCT_t* record,
                                             VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t Get64BitMSICapability(VEXO_DEVICE_HANDLE_t dev,
                                             PCI_MSI_CAPABILITY_64_STRUCT_t* record,
                                             VEXO_CAP_HANDLE_t* cap);

// Walk of both lists, PCI list first, one handle per capability. GetNextCapability ends
// with VEXO_STATUS_PCIE_NO_MORE_CAPS.
VEXO_API VEXO_STATUS_t GetFirstCapability(VEXO_DEVICE_HANDLE_t dev, VEXO_CAP_HANDLE_t* cap);
VEXO_API VEXO_STATUS_t GetNextCapability(VEXO_DEVICE_HANDLE_t dev, VEXO_CAP_HANDLE_t* cap,
                                         VEXO_CAP_HANDLE_t previous);
// Reads and prints the header of the first PCI capability (or of the one at the low byte of
// offset, when not 0).
VEXO_API VEXO_STATUS_t GetCapabilityHeader(VEXO_DEVICE_HANDLE_t dev,
                                           PCI_CAPABILITY_HEADER_t* header, unsigned int offset);
VEXO_API VEXO_STATUS_t GetCapOffset(VEXO_CAP_HANDLE_t cap, unsigned int* offset);
// Configuration access inside a capability, by offset relative to its start.
VEXO_API VEXO_STATUS_t ReadCapability(VEXO_CAP_HANDLE_t cap, void* buffer, unsigned int offset,
                                      unsigned int* length);
VEXO_API VEXO_STATUS_t WriteCapability(VEXO_CAP_HANDLE_t cap, void* buffer, unsigned int offset,
                                       unsigned int* length);
VEXO_API VEXO_STATUS_t VEXO_QueryCapInfo(VEXO_CAP_HANDLE_t cap, VEXO_PCI_DEVICE_CAP_INFO_t* info);
VEXO_API VEXO_STATUS_t VEXO_FreeCapabilityHandle(VEXO_CAP_HANDLE_t cap);

// ---------------------------------------------------------------------------------------
// Link and power-state control, always from the parent stored by OpenDevice.

typedef uint32_t VEXO_ASPM_CONTROL_STATE_t;  // accepted and not interpreted

VEXO_API VEXO_STATUS_t VEXO_DisableLink(VEXO_DEVICE_HANDLE_t dev);
VEXO_API VEXO_STATUS_t VEXO_EnableLink(VEXO_DEVICE_HANDLE_t dev);
VEXO_API VEXO_STATUS_t VEXO_RetrainDUTLink(VEXO_DEVICE_HANDLE_t dev);
// Sleeps once, then VEXO_STATUS_FAILED while the device's Link Training bit is set, else 0.
VEXO_API VEXO_STATUS_t VEXO_WaitForDeviceToRetrain(VEXO_DEVICE_HANDLE_t dev, int milliseconds);
VEXO_API VEXO_STATUS_t VEXO_GetPortToResetOrRetrain(VEXO_DEVICE_HANDLE_t dev,
                                                    VEXO_DEVICE_HANDLE_t* port);
// Accepted; change nothing.
VEXO_API VEXO_STATUS_t SetASPMState(VEXO_DEVICE_HANDLE_t dev, VEXO_ASPM_CONTROL_STATE_t state);
VEXO_API VEXO_STATUS_t SetUpstreamASPMState(VEXO_DEVICE_HANDLE_t dev,
                                            VEXO_ASPM_CONTROL_STATE_t state);
// Always VEXO_STATUS_INVALID_PARAMETER; changes nothing.
VEXO_API VEXO_STATUS_t WriteDeviceStatusReg(VEXO_DEVICE_HANDLE_t dev, int a, int b, int c, int d);

// =======================================================================================
// Test card: control, trace buffer, error-reporting assertions and the DAT file.
//
// - Every card call takes the device record of a card (its card flag set when the card
//   table's IsZamDevice recognised its bus/device/function). Any other record, a null
//   handle, or a driver library without a card table (or without the slot a call needs)
//   gives VEXO_STATUS_INVALID_PARAMETER without contacting the card. A refused card
//   request gives VEXO_STATUS_INSUFFICIENT_RESOURCES.
// - The trace copy read by ZAMGetTraceBuffer belongs to the card's record; it is replaced by
//   the next ZAMGetTraceBuffer, freed by ArmZAM, and every search reads only inside it.
// - The error-reporting assertions and parseDatFile have C names.
// =======================================================================================

// ---------------------------------------------------------------------------------------
// Card control

// The card's operating mode, passed to and from the card unchanged.
typedef uint32_t VEXO_ZAM_OP_MODE_t;
inline constexpr VEXO_ZAM_OP_MODE_t VEXO_ZAM_MODE_ADD_IN_CARD = 0;

// The card's property word (card command 5).
typedef uint32_t vexo_zam_query_prop_t;

// Fault-injection command codes (byte 1 of vexo_cmd_map_t).
inline constexpr uint8_t VEXO_ZAM_CMD_NAK = 0x01;
inline constexpr uint8_t VEXO_ZAM_CMD_NO_ACK_NAK = 0x02;
inline constexpr uint8_t VEXO_ZAM_CMD_ACK_NAK_DELAY_LEGAL = 0x03;
inline constexpr uint8_t VEXO_ZAM_CMD_CORRUPT_LCRC = 0x05;
inline constexpr uint8_t VEXO_ZAM_CMD_DUPLICATE_SEQ_NUM = 0x0B;
inline constexpr uint8_t VEXO_ZAM_CMD_DELAY_TLP = 0x0C;
inline constexpr uint8_t VEXO_ZAM_CMD_CORRUPT_DLLP = 0x20;
inline constexpr uint8_t VEXO_ZAM_CMD_DLLP_RESERVED_BITS = 0x21;
inline constexpr uint8_t VEXO_ZAM_CMD_UNDEFINED_DLLP = 0x22;
inline constexpr uint8_t VEXO_ZAM_CMD_DLLP_BOGUS_SEQ_NUM = 0x23;

// The card command record, 48 bytes in the card's own layout, sent unchanged. Zero it first:
// every byte not set is reserved and must be 0.
#pragma pack(push, 1)
typedef struct vexo_cmd_map_t {
  uint8_t reserved0;
  uint8_t command;           // VEXO_ZAM_CMD_...
  uint8_t reserved1[4];
  uint8_t count_high;        // bits 11-8 of the 12-bit count in bits 3-0; bits 7-4 zero
  uint8_t count_low;         // bits 7-0 of the count
  uint8_t match_value[16];   // TLP header bytes 0-15 in TLP byte order
  uint8_t match_mask[16];    // same layout; a set bit takes part in the match
  uint32_t parameter;        // little-endian; VEXO_ZAM_CMD_DELAY_TLP: delay in 8 ns units
  uint8_t parameter_byte;    // 0xFF for the DLLP commands 0x20-0x22
  uint8_t reserved2[3];
} vexo_cmd_map_t;
#pragma pack(pop)
static_assert(sizeof(vexo_cmd_map_t) == 48, "the card reads 48 bytes");
static_assert(__builtin_offsetof(vexo_cmd_map_t, count_high) == 6, "count at byte 6");
static_assert(__builtin_offsetof(vexo_cmd_map_t, match_value) == 8, "match value at byte 8");
static_assert(__builtin_offsetof(vexo_cmd_map_t, match_mask) == 24, "match mask at byte 24");
static_assert(__builtin_offsetof(vexo_cmd_map_t, parameter) == 40, "parameter at byte 40");
static_assert(__builtin_offsetof(vexo_cmd_map_t, parameter_byte) == 44, "parameter byte at 44");

// Stores a 12-bit count in bytes 6-7 (bits above 11 are dropped).
inline void vexo_cmd_map_set_count(vexo_cmd_map_t* map, uint32_t count) {
  map->count_high = static_cast<uint8_t>((count >> 8) & 0x0F);
  map->count_low = static_cast<uint8_t>(count & 0xFF);
}

// Frees the record's trace copy, then arms the card (the value is not interpreted).
VEXO_API VEXO_STATUS_t ArmZAM(VEXO_DEVICE_HANDLE_t card, unsigned int value);
// Sleeps 10 ms, then disarms the card.
VEXO_API VEXO_STATUS_t DisarmZAM(VEXO_DEVICE_HANDLE_t card);
VEXO_API VEXO_STATUS_t ProgramZAMCmd(VEXO_DEVICE_HANDLE_t card, vexo_cmd_map_t* command);
VEXO_API VEXO_STATUS_t ChangeZAMMode(VEXO_DEVICE_HANDLE_t card, VEXO_ZAM_OP_MODE_t mode);
VEXO_API VEXO_STATUS_t QueryZAMMode(VEXO_DEVICE_HANDLE_t card, VEXO_ZAM_OP_MODE_t* mode);
VEXO_API VEXO_STATUS_t VEXO_GetZAMProperties(VEXO_DEVICE_HANDLE_t card,
                                             vexo_zam_query_prop_t* properties);
VEXO_API VEXO_STATUS_t VEXO_ZAM_GetActionCount(VEXO_DEVICE_HANDLE_t card, unsigned int* count);
VEXO_API VEXO_STATUS_t ZAMSuspendLogging(VEXO_DEVICE_HANDLE_t card);
VEXO_API VEXO_STATUS_t ZAMResumeLogging(VEXO_DEVICE_HANDLE_t card);

// New records for the DUT's parent bridge's parent (the card) and its parent bridge (the
// card port). Both outputs are null unless the pair was found.
VEXO_API VEXO_STATUS_t VEXO_GetUpstreamZAM(VEXO_DEVICE_HANDLE_t dut, VEXO_DEVICE_HANDLE_t* card,
                                           VEXO_DEVICE_HANDLE_t* card_port);
// A new record for the known endpoint at (secondary bus of the bridge, device, function).
// The output is untouched when the bridge is not a bridge or the function cannot be read,
// and null when the function is not a known endpoint.
VEXO_API VEXO_STATUS_t VEXO_GetDownstreamKEP(VEXO_DEVICE_HANDLE_t bridge, unsigned int device,
                                             unsigned int function, VEXO_DEVICE_HANDLE_t* kep);

// ---------------------------------------------------------------------------------------
// Trace buffer
//
// The card's trace is a run of records, each a little-endian 64-bit header (bits 0-7 marker
// 0xF1, bits 8-10 kind: 0-2 TLP, 3 DLLP; bits 16-31 TLP payload length in 32-bit words)
// and its payload: the TLP as on the link, or 8 bytes holding the 6-byte DLLP at bytes 1-6.
// The walk ends at the first marker that is not 0xF1 and at the first record that would
// run past the end of the copy.

// TLP match flags; 0 matches every TLP. Without VEXO_TLP_MATCH_ALL the outcome of the last
// enabled field (in the order Fmt, Type, Length) decides.
inline constexpr unsigned int VEXO_TLP_MATCH_FMT = 0x00000001;
inline constexpr unsigned int VEXO_TLP_MATCH_TYPE = 0x00000002;
inline constexpr unsigned int VEXO_TLP_MATCH_LENGTH = 0x00000008;
inline constexpr unsigned int VEXO_TLP_MATCH_ALL = 0x80000000;

// Flags of SetConfigMaskTraceBuf, applied in this order to bits 9-12 of the trace
// configuration word.
inline constexpr unsigned int VEXO_TB_SET_BIT9 = 0x01;
inline constexpr unsigned int VEXO_TB_CLEAR_BIT9 = 0x02;
inline constexpr unsigned int VEXO_TB_SET_BITS10_11 = 0x10;
inline constexpr unsigned int VEXO_TB_CLEAR_BITS10_11 = 0x04;
inline constexpr unsigned int VEXO_TB_BIT10_ONLY = 0x08;
inline constexpr unsigned int VEXO_TB_SET_BIT12 = 0x20;
inline constexpr unsigned int VEXO_TB_CLEAR_BIT12 = 0x40;

// Reads the card's whole trace buffer into the record, replacing the previous copy.
VEXO_API VEXO_STATUS_t ZAMGetTraceBuffer(VEXO_DEVICE_HANDLE_t card);
VEXO_API VEXO_STATUS_t GetBytesInZAMTB(VEXO_DEVICE_HANDLE_t card, unsigned int* count);
// Copies min(*length, byte count) bytes of the copy; *length receives that number.
VEXO_API VEXO_STATUS_t GetTBContents(VEXO_DEVICE_HANDLE_t card, void* buffer,
                                     unsigned int* length);
// The first 16 bytes from the start of TLP number index (from 0); bytes past the end of the
// copy are zero. VEXO_STATUS_INVALID_PARAMETER when there are fewer TLPs. A loop over every
// index takes linear time: the TLP positions are indexed once per copy.
VEXO_API VEXO_STATUS_t VEXO_ZAM_TB_GetTLPByIndex(VEXO_DEVICE_HANDLE_t card, void* header_16,
                                                 unsigned int ignored, int index);
// Returns 0 and writes nothing.
VEXO_API VEXO_STATUS_t VEXO_ZAM_TB_GetTotalTLP(VEXO_DEVICE_HANDLE_t card, unsigned int* count);
// *count = the number of TLPs that match the pattern (a TLP header, at least 4 bytes).
// Prints "Device is not a ZAM" when the record is not a card's.
VEXO_API VEXO_STATUS_t GetNumTLPMatches(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                        unsigned int flags, unsigned int* count);
// As GetNumTLPMatches; also copies header word 0 (4 bytes) of each match to the output,
// which the caller sizes.
VEXO_API VEXO_STATUS_t FindTLPByTLPType(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                        unsigned int flags, void* output, unsigned int* count);
// Adds to *count (not cleared first) the DLLPs of the pattern's DLLP type (first byte; the
// virtual channel bits of the flow-control types are ignored).
VEXO_API VEXO_STATUS_t GetNumDLLPMatches(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                         unsigned int ignored, unsigned int* count);
// *count in: capacity of the output in 6-byte entries; out: the number of DLLPs copied.
VEXO_API VEXO_STATUS_t FindDLLPTypeDLLPType(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                            unsigned int ignored, void* output,
                                            unsigned int* count);
// Returns VEXO_STATUS_SUCCESS and does nothing.
VEXO_API VEXO_STATUS_t FindTLPByTLPTypeEx(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                          unsigned int flags, void* output, unsigned int* count);
// Returns VEXO_STATUS_INVALID_PARAMETER and does nothing.
VEXO_API VEXO_STATUS_t GetNumTLPMatchesEx(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                          unsigned int flags, unsigned int* count);
// Dumps the card's action count and the first *length bytes of the copy (all of it when
// length is null or 0) into an XML log.
VEXO_API VEXO_STATUS_t LogTBContents(VEXO_LOG_HANDLE_t log, VEXO_DEVICE_HANDLE_t card,
                                     unsigned int* length);
// Returns VEXO_STATUS_SUCCESS after the card check; nothing is written to the trace.
VEXO_API VEXO_STATUS_t VEXO_ZAMWritePatternToTB(VEXO_DEVICE_HANDLE_t card, unsigned int pattern);
// Read-modify-write of bits 9-12 of the card's trace configuration word (VEXO_TB_... flags).
VEXO_API VEXO_STATUS_t SetConfigMaskTraceBuf(VEXO_DEVICE_HANDLE_t card, unsigned int flags);

// ---------------------------------------------------------------------------------------
// Advanced error reporting assertions

typedef struct VEXO_ADVERR_INFO_t {
  VEXO_DEVICE_HANDLE_t device;
  VEXO_CAP_HANDLE_t cap;  // owned by the caller: VEXO_FreeCapabilityHandle
  PCIE_ADV_ERR_REP_CAP_STRUCT_t aer;
} VEXO_ADVERR_INFO_t;

// Expected states of the assertions.
inline constexpr uint32_t VEXO_ADVERR_EXPECT_CLEAR = 0;
inline constexpr uint32_t VEXO_ADVERR_EXPECT_SET = 1;

extern "C" {
// Reads the device's Advanced Error Reporting capability into the record.
VEXO_API VEXO_STATUS_t VEXO_ADVERR_Util_GetAdvErrorRepCap(VEXO_DEVICE_HANDLE_t dev,
                                                          VEXO_ADVERR_INFO_t* info);
// Each compares one status bit with the expected state (1 SET, 0 CLEAR), writes the verdict
// line to the log at VEXO_LOG_INFO and returns VEXO_STATUS_FAILED on a mismatch. On a match
// with a non-zero clear request the register is written back with the bit set (status bits
// are write-one-to-clear, so every bit that was set is cleared).
#define VEXO_ADVERR_ASSERTION(name)                                                   \
  VEXO_API VEXO_STATUS_t name(VEXO_DEVICE_HANDLE_t dev, VEXO_LOG_HANDLE_t log,       \
                              uint32_t expected, uint32_t clear)
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertTrainingErrorStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertDLProtocolErrorStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertFlowControlProtocolErrorStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertCompletionTimeoutStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertCompleterAbortStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertUnexpectedCompletionStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReceiverOverflowStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertUnsupportedRequestErrorStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReceiverErrorStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertBadTLPStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertBadDLLPStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReplayNumberRolloverStatus);
VEXO_ADVERR_ASSERTION(VEXO_ADVERR_Util_AssertReplayTimerTimeoutStatus);
#undef VEXO_ADVERR_ASSERTION
}

// ---------------------------------------------------------------------------------------
// DAT file

inline constexpr int VEXO_DAT_MAX_DEVICES = 100;
inline constexpr int VEXO_DAT_PATH_SIZE = 1000;  // longer values are cut at 999 characters

// Test mode of the "Test" element's "mode" attribute.
inline constexpr int32_t VEXO_DAT_MODE_PLATFORM = 0;    // "platform"
inline constexpr int32_t VEXO_DAT_MODE_ADD_IN = 1;      // "AddIn"
inline constexpr int32_t VEXO_DAT_MODE_SIMULATION = 2;  // "simulation"

typedef struct VEXO_DAT_INFO_t {
  char* user_name;  // heap copy, not freed by the library; null when no "User" element
  int32_t mode;     // left as the caller set it unless the file names a known mode
  uint32_t find_flags[VEXO_DAT_MAX_DEVICES];                // FindDevice flags per entry
  VEXO_DEVICE_FIND_INFO_t devices[VEXO_DAT_MAX_DEVICES];    // unset fields all ones
  int16_t device_count;
  char vexo_ini_path[VEXO_DAT_PATH_SIZE];
  char vexo_ini_file[VEXO_DAT_PATH_SIZE];
  char app_ini_file[VEXO_DAT_PATH_SIZE];
  int32_t replay_count;
  uint64_t pcie_base_address;
  int16_t increment;
  uint16_t offset;
  uint16_t length;
  uint16_t serr_enable;
  uint16_t saved_command;  // not read from the file; the test set-up keeps a value here
  // Subsystem IDs of the "DUT" entries: stored, not used by discovery.
  uint16_t subsystem_device_ids[VEXO_DAT_MAX_DEVICES];
  uint16_t subsystem_vendor_ids[VEXO_DAT_MAX_DEVICES];
} VEXO_DAT_INFO_t;

extern "C" {
// Reads a DAT file into the record: VEXO_STATUS_SUCCESS, or VEXO_STATUS_NO_DAT_FILE when the
// file cannot be opened or is not well-formed XML (with a message on standard error).
VEXO_API VEXO_STATUS_t parseDatFile(const char* path, VEXO_DAT_INFO_t* info);
}

// The numbers of a DAT file whose text did not give its value cleanly. parseDatFile keeps,
// beside the record it filled (which keeps its layout), one note per field whose text held
// no digit of its format, or whose value had to be cut or wrapped to fit the field; a later
// element that sets the same field replaces its note. The notes stay until the next
// parseDatFile into the same record.
typedef enum VEXO_DAT_NUMBER_t {
  VEXO_DAT_REPLAY_COUNT = 0,
  VEXO_DAT_PCIE_BASE_ADDRESS,
  VEXO_DAT_SERR_ENABLE,
  VEXO_DAT_DUTCONFIG_INCR,
  VEXO_DAT_DUTCONFIG_OFFSET,
  VEXO_DAT_DUTCONFIG_LENGTH,
  VEXO_DAT_DUT_VENDOR_ID,
  VEXO_DAT_DUT_DEVICE_ID,
  VEXO_DAT_DUT_BUS,
  VEXO_DAT_DUT_DEVICE,
  VEXO_DAT_DUT_FUNCTION,
  VEXO_DAT_DUT_SUBSYS_DEVICE_ID,
  VEXO_DAT_DUT_SUBSYS_VENDOR,
} VEXO_DAT_NUMBER_t;

typedef enum VEXO_DAT_FLAW_t {
  VEXO_DAT_FLAW_NO_DIGIT = 1,  // the text holds no digit: the value is 0
  VEXO_DAT_FLAW_CUT = 2,       // the value does not fit the field and was cut or wrapped
} VEXO_DAT_FLAW_t;

inline constexpr int VEXO_DAT_NOTE_TEXT_SIZE = 64;  // longer texts are kept cut at 63

typedef struct VEXO_DAT_NUMBER_NOTE_t {
  VEXO_DAT_NUMBER_t number;
  int32_t entry;  // the "DUT" entry (0 the first), -1 for the other elements
  VEXO_DAT_FLAW_t flaw;
  char element[32];    // "ReplayCount", "DUT", ... as the format names it
  char attribute[32];  // the attribute's name as written
  char text[VEXO_DAT_NOTE_TEXT_SIZE];  // the value as written
  int64_t value;       // the value the record holds (for "bus" the bus byte)
} VEXO_DAT_NUMBER_NOTE_t;

// Copies up to `capacity` notes of the last parseDatFile into `info`, in document order, and
// returns how many there are (0 for a record never parsed).
VEXO_API uint32_t VEXO_GetDatNumberNotes(const VEXO_DAT_INFO_t* info,
                                         VEXO_DAT_NUMBER_NOTE_t* notes, uint32_t capacity);

// One note as a line names it, without a line end: `<ReplayCount n="three"> holds no digit,
// taken as 0` or `<DUT bus="259"> does not fit its field and was cut, taken as 3` (values of
// hexadecimal fields as 0x...). Written into `text` (always terminated when size > 0, cut
// to fit); returns the length of the whole description.
VEXO_API uint32_t VEXO_DescribeDatNumberNote(const VEXO_DAT_NUMBER_NOTE_t* note, char* text,
                                             uint32_t size);

// ---------------------------------------------------------------------------------------
// Operator input

#include "vexo_ui.h"
