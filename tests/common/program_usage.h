// The compliance programs' usage line and their answers to a lone --help or --version.
#pragma once

namespace zam {

// "<program>. [-l <name of log file> ] [ -d <name of dat file>] [-h for help]\n" on standard
// output, as the data-link programs print it for -h or an empty command line.
void print_usage_line(const char* program);

// A lone "--help" prints the usage line, a lone "--version" the version line; true when one
// was answered and the program ends with 0 before its set-up. Everything else, -h included,
// is left to the set-up.
bool answered_standard_option(int argc, char* argv[]);

}  // namespace zam
