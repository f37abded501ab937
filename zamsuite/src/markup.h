// Escaping of log texts for XML and HTML reports.
#pragma once

#include <string>

namespace zamsuite {

// Escapes the five markup characters. Bytes that XML 1.0 cannot carry (control bytes other
// than tab, line feed and carriage return, and bytes that are not valid UTF-8) are shown as
// the visible text "\xNN", so a report stays well-formed and nothing is silently lost. In an
// attribute, tab, line feed and carriage return become character references so that an
// XML parser gives them back unchanged; in text only the carriage return does.
std::string escape_text(const std::string& raw);
std::string escape_attribute(const std::string& raw);

}  // namespace zamsuite
