// Why the framework's drivers cannot serve: the cause of the last failed start-up, said on
// standard error as it is found, and kept for the program's log.
#pragma once

#include <string>

namespace vexo {

// Forgets the cause of an earlier start-up (a new start-up begins).
void clear_startup_problem();

// Prints "VEXO start-up: <text>" to standard error and keeps the text. The first cause of a
// start-up is kept; later ones are only printed.
void report_startup_problem(const std::string& text);

// Keeps the text without printing it (a documented message said it already).
void keep_startup_problem(const std::string& text);

// The cause kept since the last start-up began; empty when none was reported.
std::string startup_problem();

// What the loaded driver interface library says of its drivers (the lab went away, ...);
// empty when it reports no trouble, offers no such report, or none is loaded.
std::string driver_library_trouble();

}  // namespace vexo
