// Every text the library prints (printf formats, standard output).
#pragma once

namespace pellor::message {

inline constexpr const char* no_config_driver =
    "ERROR. No drivers for accessing configuration space loaded. Please verify Trevik or "
    "compatible driver has been loaded and rerun the test\n";
inline constexpr const char* farrow_implements_zam =
    "Farrow port at bdf[%d,%d,%d] implements ZAM specification\n";
inline constexpr const char* known_endpoint_implements_zam =
    "Known end point at bdf[%d,%d,%d] implements ZAM specification\n";
inline constexpr const char* no_zam_devices =
    "WARNING. ZAM-compliant devices have not been detected(not an error).\n";
inline constexpr const char* farrow_port_found =
    "Farrow port found at BDF[%d,%d,%d] and initialized successfully\n";
inline constexpr const char* no_farrow_ports =
    "WARNING. Frw ports have not been detected(not an error).\n";
inline constexpr const char* no_kep_devices =
    "WARNING. KEP-compliant devices have not been detected(not an error).\n";

}  // namespace pellor::message
