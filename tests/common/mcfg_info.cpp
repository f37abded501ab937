// LogMcfgTableInfo: where the ACPI MCFG table is, as the configuration driver reports it.
#include <cstdint>

#include "shared_routines.h"

void LogMcfgTableInfo(VEXO_LOG_HANDLE_t log) {
  uint64_t base = 0, length = 0;
  uint8_t start_bus = 0, end_bus = 0;
  if (QueryAcpiMcfgTableInfo(&base, &start_bus, &end_bus, &length) != 0) {
    // Both figures are printed as their low 32 bits.
    WriteToLog(log, VEXO_LOG_INFO, "FOUND ACPI MCFG TABLE at Physical Addr [0x%X], Length [%ld]\n",
               static_cast<uint32_t>(base), static_cast<long>(static_cast<uint32_t>(length)));
  } else {
    WriteToLog(log, VEXO_LOG_INFO, "%s", "COULD NOT FIND ACPI MCFG TABLE INFORMATION\n");
  }
}
