// Texts printed by the capability walks, byte for byte (printf formats).
#pragma once

namespace vexo::cap_message {

// Names printed in the walk messages.
inline constexpr const char* pci_search = "HelpGetPCICapability";
inline constexpr const char* extended_search = "HelpGetPCIECapability";
inline constexpr const char* source_file = "VEXO/Source/vexo_config_cap_access";

inline constexpr const char* unknown_capability =
    "Unknown cap[%d]\n";
inline constexpr const char* pci_start_outside_legacy =
    "****ERROR. [%s] file[%s] line[%d] offset[%d] provided by user for pci caps is outside of the legacy config space\n";
inline constexpr const char* pci_start_outside_limits =
    "***ERROR**[%s] file[%s] line[%d] device implement pci caps but start offset[%d] is outside of legal limit\n";
inline constexpr const char* pci_header_read_failed =
    "**ERROR***:[%s] file[%s] line[%d] reading config space at offset[%d] length[%d] failed\n";
inline constexpr const char* pci_capability_read_failed =
    "[%s] file[%s] line[%d] Reading PCI config space for CapType[%d] at offset[%d] length[%d] failed\n";
inline constexpr const char* pci_id_mismatch =
    "****ERROR***[%s] file[%s] line[%d] capability id in whole cap not                                equal to cap id in header. Repeat configuration read error. offset[%d] length[%d]\n";
inline constexpr const char* pci_next_into_header =
    "[%s] file[%s] line[%d] next cap pointer[%d] for next cap points into the standard PCI legacy space\n";
inline constexpr const char* pci_multiple_instances =
    "[%s] : POSSIBLE COMPLIANCE ERROR. [%d] instances of cap type[%d] have been found\n";
inline constexpr const char* extended_read_failed =
    "[%s] file[%s] line[%d] ReadConfigSpace from offset[%d] length[%d] failed\n";
inline constexpr const char* extended_next_into_legacy =
    "**ERROR**:parsing PCIE Caps: [%s] file[%s] line[%d] next_cap_offset[%d] cap id[0x%x] expecting[%d]is in the legacy config space\n";
inline constexpr const char* extended_multiple_instances =
    "****ERROR MULTI-INSTANCE CAP. file[%s] line[%d] file[%s] found [%d instances] of type[%d] at offset[%d]\n";
inline constexpr const char* header_pointer =
    "Capability Pointer 0x%2.2X \n";
inline constexpr const char* header_type =
    "Capability TYPE = 0x%2.2X \n";
inline constexpr const char* header_next =
    "Next capability Offset : 0x%2.2X\n";
// A list that comes back to a capability already visited (the walk would never end).
inline constexpr const char* pci_loop =
    "[%s] file[%s] line[%d] next cap pointer[%d] points to a capability already visited\n";
inline constexpr const char* extended_loop =
    "[%s] file[%s] line[%d] next_cap_offset[%d] points to a capability already visited\n";

}  // namespace vexo::cap_message
