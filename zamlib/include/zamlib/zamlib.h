// Exports of the hardware interface library zamlib: configuration requests in and
// completions out over the test card's USB link.
//
// Conventions
// - Plain C exports, looked up by name by the firmware test tool. Every call returns an
//   unsigned 32-bit status: 0 success, bit 31 set for errors (ZAMLIB_STATUS_* below).
// - Packets are arrays of host-order 32-bit words (configuration request and completion
//   layouts of the Lattix engine); the library swaps each word to and from the card's
//   most-significant-byte-first order. Lengths are in bytes.
// - One device handle and strictly sequential requests: use the library from one thread.
// - Loading the library opens the packet log "pktlog.txt" in the current folder (standard
//   output when it cannot be opened); unloading writes the configuration summary into it
//   and closes it.
#pragma once

#include <stdint.h>

#include "zam_export.h"

#define ZAMLIB_API ZAM_EXPORT

#define ZAMLIB_STATUS_SUCCESS 0x00000000u
#define ZAMLIB_STATUS_OPEN_FAILED 0x80000004u
#define ZAMLIB_STATUS_NOT_SUPPORTED 0x80000007u
#define ZAMLIB_STATUS_WRITE_FAILED 0x80000008u
#define ZAMLIB_STATUS_READ_FAILED 0x80000009u
#define ZAMLIB_STATUS_ABORTED 0x8000000Cu

// Largest completion the library sends, in bytes.
#define ZAMLIB_MAX_COMPLETION 512u

#ifdef __cplusplus
extern "C" {
#endif

// Opens the card's USB device, retrying every 200 ms until timeout_ms has been waited.
ZAMLIB_API uint32_t ORVENInitHardwareDriver(uint32_t timeout_ms);
// Closes the device if open.
ZAMLIB_API uint32_t ORVENCloseHardwareDriver(void);
// Reads one request of at most buffer_size bytes into buffer; *bytes_read tells how many.
ZAMLIB_API uint32_t ORVENReadConfigRequest(uint32_t buffer_size, uint32_t timeout_ms, uint32_t* bytes_read,
                                           uint32_t* buffer);
// Sends one completion of length bytes (at most ZAMLIB_MAX_COMPLETION).
ZAMLIB_API uint32_t ORVENWriteConfigCompletion(const uint32_t* completion, uint32_t length, uint32_t timeout_ms);

// Not supported by this card: always ZAMLIB_STATUS_NOT_SUPPORTED. The misspelt name is the
// one tools bind.
ZAMLIB_API uint32_t ORVENGenerateTLP(void);
ZAMLIB_API uint32_t ORVENEnableOptionRom(void);
ZAMLIB_API uint32_t ORVNEDisableOptionRom(void);
ZAMLIB_API uint32_t ORVENProgramOptionRomContents(void);
ZAMLIB_API uint32_t ORVENSetOptionRomLocation(void);

#ifdef __cplusplus
}
#endif
