/* Pellor: the driver interface library's three function tables, exports, request codes and
 * driver packets.
 *
 * Conventions:
 * - The library finds and opens the kernel drivers when it is loaded and closes them when it
 *   is unloaded (or when CloseDriver is called). Callers bind the three exports by name.
 * - Tables are the library's own static storage, valid while it is loaded; never free them.
 *   A slot is null when its driver family was not found.
 * - Every 32-bit value is uint32_t; 64-bit values are uint64_t or a low/high pair of
 *   uint32_t where the slot says so. Function pointers are pointer-sized.
 * - Configuration slots return the requested length on success and 0 on failure. Card
 *   command slots return 0 on success and PELLOR_CARD_FAILED on any failure; the upstream
 *   pair search returns 0 or PELLOR_INVALID_PARAMETER.
 * - Driver packets are little-endian, byte-packed, with the sizes asserted below. All
 *   requests are buffered: the same packet serves as input and output.
 * - Plain C; safe to include from C and C++. Nothing throws across the boundary.
 */
#ifndef PELLOR_PELLOR_H
#define PELLOR_PELLOR_H

#include <stddef.h>
#include <stdint.h>

#include "zam_export.h"

#define PELLOR_API ZAM_EXPORT

#ifdef __cplusplus
#define PELLOR_STATIC_ASSERT(condition, text) static_assert(condition, text)
extern "C" {
#else
#define PELLOR_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif

/* ---- Results ---------------------------------------------------------------------------- */

#define PELLOR_CARD_FAILED 0x80000000u       /* a card command was refused or matched no card */
#define PELLOR_INVALID_PARAMETER 0x80000003u /* upstream pair not found / bad arguments */

/* ---- Limits ----------------------------------------------------------------------------- */

#define PELLOR_CONFIG_SPACE_SIZE 4096u      /* largest configuration access of one request */
#define PELLOR_COMMAND_MAP_SIZE 48u         /* a card command map, copied as is */
#define PELLOR_UPSTREAM_COPY_SIZE 256u      /* configuration copy of a parent / grandparent */
#define PELLOR_CONFIG_HANDLE_CAPACITY 100u  /* configuration driver handles */
#define PELLOR_KEP_CAPACITY 256u            /* known-endpoint records */
#define PELLOR_CARD_CAPACITY 256u           /* ZAM card records */
#define PELLOR_FARROW_CAPACITY 512u         /* Farrow port records */

/* ---- Driver interface classes (device interface class GUIDs) ---------------------------- */

#define PELLOR_GUID_CONFIG_SPACE "{83972628-020A-4B3D-A654-66B608394A70}"
#define PELLOR_GUID_KNOWN_ENDPOINT "{FED8E8D4-C192-43C1-8EF0-5D5B8160156D}"
#define PELLOR_GUID_ZAM_CARD "{36F7A520-ED0B-4E9A-A14F-8C691F120AF1}"
#define PELLOR_GUID_FARROW_PORT "{E1D91E61-750C-45FF-B0A7-28B2AC459817}"

/* ---- Request codes: device type 0x22, buffered, any access ------------------------------ */

/* Configuration-space driver */
#define PELLOR_IOCTL_CONFIG_READ 0x222000u       /* PELLOR_CONFIG_PACKET_t, 4116 / 4116 */
#define PELLOR_IOCTL_CONFIG_WRITE 0x222004u      /* PELLOR_CONFIG_PACKET_t, 4116 / 4116 */
#define PELLOR_IOCTL_CONFIG_SET_WINDOW 0x22200Cu /* PELLOR_CONFIG_WINDOW_t, 16 / 0 */
#define PELLOR_IOCTL_CONFIG_GET_WINDOW 0x222010u /* PELLOR_CONFIG_WINDOW_t, 0 / 16 */
#define PELLOR_IOCTL_CONFIG_QUERY_MCFG 0x22201Cu /* PELLOR_MCFG_PACKET_t, 0 / 24 */
/* Known-endpoint driver */
#define PELLOR_IOCTL_KEP_IDENTITY 0x222004u /* PELLOR_IDENTITY_PACKET_t, 12 / 12 */
#define PELLOR_IOCTL_KEP_READ 0x222008u     /* PELLOR_KEP_PACKET_t, 4104 / 4104 */
#define PELLOR_IOCTL_KEP_WRITE 0x22200Cu    /* PELLOR_KEP_PACKET_t, 4104 / 4104 */
/* ZAM card driver */
#define PELLOR_IOCTL_CARD_QUERY 0x222400u   /* PELLOR_CARD_QUERY_PACKET_t, 44 / 44 */
#define PELLOR_IOCTL_CARD_COMMAND 0x222404u /* PELLOR_CARD_COMMAND_PACKET_t, 56 / 56;
                                               trace read: 56 + n / 56 + n */
/* Farrow port driver */
#define PELLOR_IOCTL_FARROW_READ 0x222408u     /* PELLOR_FARROW_PACKET_t, 4104 / 4104 */
#define PELLOR_IOCTL_FARROW_WRITE 0x22240Cu    /* PELLOR_FARROW_PACKET_t, 4104 / 4104 */
#define PELLOR_IOCTL_FARROW_IDENTITY 0x222410u /* PELLOR_IDENTITY_PACKET_t, 12 / 12 */

/* Card command words (the word at byte 0 of a card command packet) */
#define PELLOR_CARD_SET_TRACE_CONFIG 1u
#define PELLOR_CARD_GET_TRACE_CONFIG 2u
#define PELLOR_CARD_COMMAND_3 3u
#define PELLOR_CARD_GET_PROPERTIES 5u
#define PELLOR_CARD_SET_LOGGING 6u /* argument 1 suspends, 0 resumes */
#define PELLOR_CARD_READ_TRACE 7u
#define PELLOR_CARD_GET_TRACE_BYTE_COUNT 8u
#define PELLOR_CARD_ARM 10u
#define PELLOR_CARD_DISARM 11u
#define PELLOR_CARD_PROGRAM_COMMAND 12u
#define PELLOR_CARD_SET_MODE 13u
#define PELLOR_CARD_GET_MODE 14u
#define PELLOR_CARD_GET_ACTION_COUNT 15u

/* Card query flags */
#define PELLOR_CARD_PORT_TYPE_SHIFT 1u
#define PELLOR_CARD_PORT_TYPE_MASK 0x1Fu /* bits 1-5 */
#define  PELLOR_PORT_TYPE_ENDPOINT 0u
#define  PELLOR_PORT_TYPE_FARROW 5u
#define  PELLOR_PORT_TYPE_SECOND_PORT 6u
#define PELLOR_CARD_FLAG_ZAM_SPEC 0x40u       /* bit 6: a ZAM-compliant device */
#define PELLOR_CARD_FLAG_KNOWN_ENDPOINT 0x80u /* bit 7 */

/* ---- Driver packets --------------------------------------------------------------------- */

#pragma pack(push, 1)

/* Configuration read/write: the driver writes back in `length` how many bytes it moved. */
typedef struct PELLOR_CONFIG_PACKET_t {
  uint32_t bus;
  uint32_t device;
  uint32_t function;
  uint32_t offset;
  uint32_t length;
  uint8_t data[PELLOR_CONFIG_SPACE_SIZE];
} PELLOR_CONFIG_PACKET_t;

/* Set window (input) and get window (output). */
typedef struct PELLOR_CONFIG_WINDOW_t {
  uint64_t first;  /* set window: base address */
  uint64_t second; /* set window: window length */
} PELLOR_CONFIG_WINDOW_t;

typedef struct PELLOR_MCFG_PACKET_t {
  uint64_t base_address;
  uint8_t start_bus;
  uint8_t end_bus;
  uint8_t reserved[6];
  uint64_t window_length;
} PELLOR_MCFG_PACKET_t;

/* Known-endpoint and Farrow identity: the BDF the interface serves (output). */
typedef struct PELLOR_IDENTITY_PACKET_t {
  uint32_t bus;
  uint32_t device;
  uint32_t function;
} PELLOR_IDENTITY_PACKET_t;

/* Known-endpoint read/write: data first. The driver writes back the length. */
typedef struct PELLOR_KEP_PACKET_t {
  uint8_t data[PELLOR_CONFIG_SPACE_SIZE];
  uint32_t length;
  uint32_t offset;
} PELLOR_KEP_PACKET_t;

/* Farrow port read/write: data last. */
typedef struct PELLOR_FARROW_PACKET_t {
  uint32_t offset;
  uint32_t length;
  uint8_t data[PELLOR_CONFIG_SPACE_SIZE];
} PELLOR_FARROW_PACKET_t;

typedef struct PELLOR_CARD_QUERY_PACKET_t {
  uint32_t bus;
  uint32_t device;
  uint32_t function;
  uint32_t flags;
  uint32_t info[4];
  uint32_t port[3]; /* port[0]: the bus behind a Farrow port */
} PELLOR_CARD_QUERY_PACKET_t;

typedef struct PELLOR_CARD_COMMAND_PACKET_t {
  uint32_t command;
  union {
    uint32_t argument; /* argument in, result out */
    uint8_t command_map[PELLOR_COMMAND_MAP_SIZE];
  } u;
  uint32_t reserved;
} PELLOR_CARD_COMMAND_PACKET_t;

/* Trace read: this header, then the trace bytes. */
typedef struct PELLOR_TRACE_READ_HEADER_t {
  uint32_t command; /* PELLOR_CARD_READ_TRACE */
  uint32_t reserved0;
  uint64_t byte_count; /* requested in, delivered out */
  uint8_t reserved1[40];
} PELLOR_TRACE_READ_HEADER_t;

#pragma pack(pop)

PELLOR_STATIC_ASSERT(sizeof(PELLOR_CONFIG_PACKET_t) == 4116, "configuration packet size");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_CONFIG_PACKET_t, data) == 20, "configuration data offset");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_CONFIG_WINDOW_t) == 16, "window packet size");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_MCFG_PACKET_t) == 24, "MCFG packet size");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_MCFG_PACKET_t, start_bus) == 8, "MCFG start bus offset");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_MCFG_PACKET_t, end_bus) == 9, "MCFG end bus offset");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_MCFG_PACKET_t, window_length) == 16, "MCFG length offset");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_IDENTITY_PACKET_t) == 12, "identity packet size");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_KEP_PACKET_t) == 4104, "known-endpoint packet size");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_KEP_PACKET_t, length) == 4096, "known-endpoint length");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_KEP_PACKET_t, offset) == 4100, "known-endpoint offset");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_FARROW_PACKET_t) == 4104, "Farrow packet size");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_FARROW_PACKET_t, data) == 8, "Farrow data offset");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_CARD_QUERY_PACKET_t) == 44, "card query packet size");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_CARD_COMMAND_PACKET_t) == 56, "card command packet size");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_CARD_COMMAND_PACKET_t, u) == 4, "card argument offset");
PELLOR_STATIC_ASSERT(sizeof(PELLOR_TRACE_READ_HEADER_t) == 56, "trace read header size");
PELLOR_STATIC_ASSERT(offsetof(PELLOR_TRACE_READ_HEADER_t, byte_count) == 8, "trace count offset");

/* ---- Function tables -------------------------------------------------------------------- */

/* Configuration table, filled by ConfigDriver_GetInterface. */
typedef struct CONFIG_DRIVER_INTERFACE_t {
  /* Sets *driver_handle to 0; initialises the library when it is not; nonzero when it is. */
  uint32_t (*OpenDriver)(uint32_t* driver_handle);
  /* Nonzero when the driver accepted the window. */
  uint32_t (*SetCfgWindow)(uint32_t driver_handle, uint32_t base_low, uint32_t base_high,
                           uint32_t length_low, uint32_t length_high);
  /* 1 when the driver answered (outputs filled), else 0 (outputs zeroed). */
  uint32_t (*QueryMcfg)(uint32_t driver_handle, uint64_t* base_address, uint8_t* start_bus,
                        uint8_t* end_bus, uint64_t* window_length);
  /* 1 when the driver answered. */
  uint32_t (*GetCfgWindow)(uint32_t driver_handle, uint64_t* first, uint64_t* second);
  /* Clears the buffer, checks the arguments, routes the read; the length or 0. */
  uint32_t (*ReadConfig)(uint32_t driver_handle, uint32_t bus, uint32_t device,
                         uint32_t function, uint32_t offset, uint32_t length, void* buffer);
  /* As ReadConfig without the BDF range checks and without clearing the buffer. */
  uint32_t (*ReadConfigNoCheck)(uint32_t driver_handle, uint32_t bus, uint32_t device,
                                uint32_t function, uint32_t offset, uint32_t length,
                                void* buffer);
  /* Checks the arguments, routes the write; the length or 0. */
  uint32_t (*WriteConfig)(uint32_t driver_handle, uint32_t bus, uint32_t device,
                          uint32_t function, uint32_t offset, uint32_t length,
                          const void* buffer);
  /* Closes every driver the library opened. */
  void (*CloseDriver)(uint32_t driver_handle);
  uint32_t (*Spare8)(void); /* returns 0 */
  uint32_t (*Spare9)(void); /* returns 0 */
} CONFIG_DRIVER_INTERFACE_t;

/* Card table, handed out by ZAM_LIB_Open_ZAM_Interface. Each slot takes the bus, device and
 * function of the card port (or of any function on the bus behind it) first. */
typedef struct ZAM_LIB_INTERFACE_t {
  uint32_t (*IsZamDevice)(uint32_t bus, uint32_t device, uint32_t function); /* 1 or 0 */
  uint32_t (*GetTraceConfig)(uint32_t bus, uint32_t device, uint32_t function, uint32_t* value);
  uint32_t (*SetTraceConfig)(uint32_t bus, uint32_t device, uint32_t function, uint32_t value);
  uint32_t (*GetTraceByteCount)(uint32_t bus, uint32_t device, uint32_t function,
                                uint32_t* value);
  uint32_t (*WritePatternToTrace)(uint32_t bus, uint32_t device, uint32_t function,
                                  uint32_t value); /* sends nothing, returns 0 */
  /* *byte_count: bytes wanted in, bytes delivered out. */
  uint32_t (*ReadTrace)(uint32_t bus, uint32_t device, uint32_t function, uint32_t* byte_count,
                        void* destination);
  uint32_t (*GetProperties)(uint32_t bus, uint32_t device, uint32_t function, uint32_t* value);
  uint32_t (*Command3)(uint32_t bus, uint32_t device, uint32_t function);
  uint32_t (*Disarm)(uint32_t bus, uint32_t device, uint32_t function);
  uint32_t (*GetActionCount)(uint32_t bus, uint32_t device, uint32_t function, uint32_t* value);
  uint32_t (*Arm)(uint32_t bus, uint32_t device, uint32_t function);
  /* command_map: PELLOR_COMMAND_MAP_SIZE bytes, sent unchanged. */
  uint32_t (*ProgramCommand)(uint32_t bus, uint32_t device, uint32_t function,
                             const void* command_map);
  uint32_t (*SetMode)(uint32_t bus, uint32_t device, uint32_t function, uint32_t mode);
  uint32_t (*GetMode)(uint32_t bus, uint32_t device, uint32_t function, uint32_t* mode);
  uint32_t (*SuspendLogging)(uint32_t bus, uint32_t device, uint32_t function);
  uint32_t (*ResumeLogging)(uint32_t bus, uint32_t device, uint32_t function);
  /* Finds the device's parent bridge and that bridge's parent; copies are
   * PELLOR_UPSTREAM_COPY_SIZE bytes (64 read, zeros after). 0 or PELLOR_INVALID_PARAMETER. */
  uint32_t (*FindUpstreamPair)(uint32_t bus, uint32_t device, uint32_t function,
                               uint32_t* grandparent_bus, uint32_t* grandparent_device,
                               uint32_t* grandparent_function, uint8_t* grandparent_config,
                               uint32_t* parent_bus, uint32_t* parent_device,
                               uint32_t* parent_function, uint8_t* parent_config);
} ZAM_LIB_INTERFACE_t;

/* Known-endpoint table, handed out by KEP_LIB_Open_KEP_Interface. */
typedef struct KEP_LIB_INTERFACE_t {
  uint32_t (*IsKepDevice)(uint32_t bus, uint32_t device, uint32_t function); /* 1 or 0 */
  uint32_t (*Reserved1)(void); /* always null */
  uint32_t (*Reserved2)(void); /* always null */
  uint32_t (*Reserved3)(void); /* always null */
} KEP_LIB_INTERFACE_t;

PELLOR_STATIC_ASSERT(sizeof(CONFIG_DRIVER_INTERFACE_t) == 10 * sizeof(void*), "10 slots");
PELLOR_STATIC_ASSERT(sizeof(ZAM_LIB_INTERFACE_t) == 17 * sizeof(void*), "17 slots");
PELLOR_STATIC_ASSERT(sizeof(KEP_LIB_INTERFACE_t) == 4 * sizeof(void*), "4 slots");

/* ---- Exports ---------------------------------------------------------------------------- */

/* Clears *table; when the library is initialised fills the ten slots and returns 1, else
 * returns 0. A null table returns 0. */
PELLOR_API uint32_t ConfigDriver_GetInterface(CONFIG_DRIVER_INTERFACE_t* table);
/* Stores the card table's address and returns 0 (PELLOR_INVALID_PARAMETER when out is null). */
PELLOR_API uint32_t ZAM_LIB_Open_ZAM_Interface(ZAM_LIB_INTERFACE_t** out);
/* Stores the known-endpoint table's address and returns 0 (PELLOR_INVALID_PARAMETER when out
 * is null). */
PELLOR_API uint32_t KEP_LIB_Open_KEP_Interface(KEP_LIB_INTERFACE_t** out);

/* Why the drivers stopped answering (the lab's daemon went away, did not answer in time or
 * cannot be reached): copies the text, cut to size - 1 characters, and returns 1. Returns 0
 * with an empty text (when size > 0) while the drivers answer. A caller that finds no such
 * export knows nothing of the drivers' state. */
PELLOR_API uint32_t Pellor_GetDriverTrouble(char* text, uint32_t size);

typedef uint32_t (*ConfigDriver_GetInterface_fn)(CONFIG_DRIVER_INTERFACE_t*);
typedef uint32_t (*ZAM_LIB_Open_ZAM_Interface_fn)(ZAM_LIB_INTERFACE_t**);
typedef uint32_t (*KEP_LIB_Open_KEP_Interface_fn)(KEP_LIB_INTERFACE_t**);
typedef uint32_t (*Pellor_GetDriverTrouble_fn)(char*, uint32_t);

#ifdef __cplusplus
}
#endif

#endif /* PELLOR_PELLOR_H */
