// zamsuite: runs the compliance programs (or reads a firmware test tool log) and writes the
// JUnit XML and HTML reports; exits 0 only when every case passed, 128 + the signal when a
// signal stopped the run.
#include <cstdio>
#include <iostream>

#include "fwtool_log.h"
#include "placement_stations.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/input_file.h"
#include "platform/install_layout.h"
#include "platform/process.h"
#include "platform/standard_options.h"
#include "programs.h"
#include "report.h"
#include "suite_options.h"
#include "suite_run.h"
#include "zamtrace/decode.h"

namespace {

constexpr int exit_passed = 0, exit_not_passed = 1, exit_usage = 2, exit_trouble = 3;

// The path from the current folder, with native separators.
std::string absolute(const std::string& path) {
  const std::string native = platform::native_path(path);
  if (native.empty() || platform::is_absolute_path(native)) return native;
  return platform::join_path(platform::current_directory(), native);
}

std::string iso_timestamp() {
  const platform::local_time t = platform::local_now();
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return buffer;
}

// The lab program: beside zamsuite, else on the search path.
std::string zamsim_program() {
  const std::string beside = platform::join_path(platform::program_folder(), platform::program_file_name("zamsim"));
  return platform::can_open_for_reading(beside) ? beside : "zamsim";
}

bool compliance_report(const zamsuite::suite_options& o, zamsuite::suite_report* report) {
  zamsuite::run_plan plan;
  plan.programs = zamsuite::chosen_programs(o.only, o.skip);
  plan.programs_folder = o.programs_folder.empty() ? platform::program_folder() : absolute(o.programs_folder);
  // The libraries a program loads: beside the programs (the build tree, Windows), else in
  // the installed tree's private library folder.
  plan.library_folders = {plan.programs_folder,
                          platform::join_path(platform::install_prefix_of(plan.programs_folder),
                                              platform::private_library_folder())};
  plan.dat_file = absolute(o.dat_file);
  plan.out_folder = absolute(o.out_folder);
  plan.station = absolute(o.station);
  plan.timeout_s = o.timeout_s;
  if (!platform::can_open_for_reading(plan.dat_file)) {
    std::cerr << "zamsuite: cannot read the DAT file " << o.dat_file << "\n";
    return false;
  }
  if (!plan.station.empty()) {
    if (!platform::can_open_for_reading(plan.station)) {
      std::cerr << "zamsuite: cannot read the station file " << o.station << "\n";
      return false;
    }
    plan.zamsim = zamsim_program();
    std::string error;
    if (!zamsuite::placement_stations(plan.station, &plan.link_width_stations, &error)) {
      std::cerr << "zamsuite: " << error << "\n";
      return false;
    }
  }
  if (plan.programs.empty()) {
    std::cerr << "zamsuite: --only and --skip leave no program to run\n";
    return false;
  }
  report->name = "zamsuite";
  report->subject = "DAT file " + plan.dat_file + (plan.station.empty() ? "" : ", lab station " + plan.station);
  std::cout << "zamsuite: " << plan.programs.size() << " program(s) against " << report->subject << "\n";
  // A stop signal ends the running program's group and its lab, and the reports still tell
  // what ran.
  platform::catch_stop_signals();
  report->cases = zamsuite::run_programs(plan, std::cout);
  return true;
}

bool fwtool_report(const zamsuite::suite_options& o, zamsuite::suite_report* report) {
  std::string text, reason;
  // The tool's log grows by a few KB a case; a folder, a device or a file past 256 MiB is
  // not one to report on.
  if (!platform::read_input_text_file(o.fwtool_log, 256u * 1024 * 1024, &text, &reason)) {
    std::cerr << "zamsuite: cannot read the firmware test tool log " << o.fwtool_log << ": " << reason << "\n";
    return false;
  }
  report->name = "fwtool";
  report->subject = "firmware test tool log " + absolute(o.fwtool_log);
  report->cases = zamsuite::parse_fwtool_log(text);
  if (report->cases.empty()) {
    std::cerr << "zamsuite: " << o.fwtool_log << " holds no test case\n";
    return false;
  }
  for (const auto& c : report->cases) {
    std::cout << c.name << ": " << zamsuite::verdict_name(c.outcome) << (c.reason.empty() ? "" : " (" + c.reason + ")")
              << "\n";
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  zamsuite::suite_options options;
  std::string error;
  if (!zamsuite::parse_suite_options(argc, argv, &options, &error)) {
    std::cerr << "zamsuite: " << error << "\n" << zamsuite::suite_usage();
    return exit_usage;
  }
  if (options.help) {
    std::cout << zamsuite::suite_usage();
    return exit_passed;
  }
  if (options.version) {
    std::cout << platform::version_line("zamsuite");
    return exit_passed;
  }
  if (options.list) {
    for (const auto& name : zamsuite::compliance_programs()) std::cout << name << "\n";
    return exit_passed;
  }
  zamsuite::suite_report report;
  report.timestamp = iso_timestamp();
  const bool done = options.fwtool_log.empty() ? compliance_report(options, &report) : fwtool_report(options, &report);
  if (!done) return exit_trouble;

  const std::string out = absolute(options.out_folder);
  const std::string junit = options.junit_path.empty() ? platform::join_path(out, "junit.xml") : options.junit_path;
  const std::string html = options.html_path.empty() ? platform::join_path(out, "report.html") : options.html_path;
  if (!platform::create_folders(out) || !zamsuite::write_report(junit, zamsuite::junit_xml(report), &error) ||
      !zamsuite::write_report(html, zamsuite::html_page(report, static_cast<zamsuite::trace_decoder>(&zamtrace::decode)), &error)) {
    std::cerr << "zamsuite: " << (error.empty() ? "cannot create " + out : error) << "\n";
    return exit_trouble;
  }
  const zamsuite::report_counts counts = zamsuite::count_cases(report);
  std::cout << "zamsuite: " << counts.passed << " passed, " << counts.failed << " failed, " << counts.errors
            << " errors, " << counts.not_run << " not run\n"
            << "JUnit report: " << junit << "\nHTML report:  " << html << "\n";
  if (platform::stop_requested()) return 128 + platform::stop_signal();
  const bool all_passed = counts.passed == static_cast<int>(report.cases.size());
  return all_passed ? exit_passed : exit_not_passed;
}
