// The run loop: one supervised process per program, its log judged as soon as it ends.
#include "suite_run.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>

#include "platform/child_run.h"
#include "lab_session.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "placement_stations.h"
#include "program_libraries.h"
#include "platform/process.h"
#include "program_verdict.h"

namespace zamsuite {
namespace {

// How much of a program's console output goes into the reports (its end, where errors are).
constexpr std::size_t output_tail_bytes = 4000;

std::string output_tail(const std::string& path) {
  std::string text;
  if (!platform::read_text_file(path, &text)) return {};
  if (text.size() <= output_tail_bytes) return text;
  return "[...]\n" + text.substr(text.size() - output_tail_bytes);
}

platform::environment_list program_environment(const std::string& lab_socket, const std::string& lab_secret) {
  platform::environment_list extra;
  if (!lab_socket.empty()) extra.push_back({"ZAMSIM_SOCKET", lab_socket});
  if (!lab_secret.empty()) extra.push_back({"ZAMSIM_SECRET", lab_secret});
  // A lab run has no person at the bench: the lab's virtual operator answers the prompts.
  const bool lab = !lab_socket.empty() || !platform::get_environment("ZAMSIM_SOCKET").empty();
  if (lab && platform::get_environment("ZAM_OPERATOR").empty()) extra.push_back({"ZAM_OPERATOR", "lab"});
  return extra;
}

// Links the libraries the program loads into the working folder, each from the first
// library folder that has it, as a station keeps them beside its programs.
bool link_libraries(const run_plan& plan, const std::string& folder, std::string* error) {
  for (const std::string& name : program_library_names(plan.dat_file, folder)) {
    for (const std::string& library_folder : plan.library_folders) {
      const std::vector<std::string> files = platform::library_file_names(name);
      const auto found = std::find_if(files.begin(), files.end(), [&](const std::string& file) {
        return platform::can_open_for_reading(platform::join_path(library_folder, file));
      });
      if (found == files.end()) continue;
      if (!platform::link_file(platform::join_path(library_folder, *found), platform::join_path(folder, *found), error)) {
        *error = "cannot link " + *found + " into " + folder + ": " + *error;
        return false;
      }
      break;
    }
  }
  return true;
}

// One run of the program in its working folder, on a fresh lab of `station` when one is given.
case_result run_on(const run_plan& plan, const std::string& name, const std::string& station,
                   const std::string& lab_output, bool append_output) {
  const std::string folder = platform::join_path(plan.out_folder, name);
  const std::string log = platform::join_path(folder, name + ".xml");
  const std::string output = platform::join_path(folder, "output.txt");
  const std::string program = platform::join_path(plan.programs_folder, platform::program_file_name(name));
  process_end end;
  std::unique_ptr<lab_session> lab;
  if (!station.empty()) {
    lab = std::make_unique<lab_session>(plan.zamsim, station, platform::join_path(folder, lab_output));
    if (!lab->ok()) {
      end.started = false;
      end.start_error = lab->error();
      return judge_program(name, end, {});
    }
  }

  platform::child_run_options options;
  options.working_folder = folder;
  options.output_path = output;
  options.append_output = append_output;
  options.input_from_null = true;
  options.extra_environment = lab ? program_environment(lab->socket(), lab->secret()) : program_environment({}, {});
  options.timeout_ms = plan.timeout_s * 1000;
  options.stop_on_request = true;
  const platform::child_run_result r = platform::run_child({program, "-d", plan.dat_file, "-l", log}, options);
  end.started = r.started;
  end.start_error = r.error;
  end.timed_out = r.timed_out;
  end.timeout_s = plan.timeout_s;
  end.exit_code = r.exit_code;
  end.signal = r.signal;
  if (r.stopped) end.stop_signal = platform::stop_signal();
  end.seconds = r.elapsed_ms / 1000.0;
  case_result c = judge_program(name, end, read_program_log(log));
  c.output = output_tail(output);
  return c;
}

// The link-width campaign: the program once per placement station, in one working folder
// whose campaign file starts empty, until a run does not pass. The case is that run's, or
// the last one's, with the time of all.
case_result run_campaign(const run_plan& plan, const std::string& name) {
  const std::string folder = platform::join_path(plan.out_folder, name);
  platform::delete_file(platform::join_path(folder, link_width_campaign_file));
  case_result c;
  double seconds = 0;
  for (std::size_t i = 0; i < plan.link_width_stations.size(); ++i) {
    const std::string stem = std::filesystem::path(plan.link_width_stations[i]).stem().string();
    const std::string placed = platform::join_path(folder, "placed-" + stem + ".station");
    std::string error;
    if (!write_placed_station(plan.link_width_stations[i], plan.station, placed, &error)) {
      process_end end;
      end.started = false;
      end.start_error = error;
      c = judge_program(name, end, {});
    } else if (const std::string log = platform::join_path(folder, name + ".xml");
               !platform::delete_file(log, &error) && platform::file_exists(log)) {
      // The log of the run before must not pass for this one.
      process_end end;
      end.started = false;
      end.start_error = "cannot remove " + log + ", left by the run before: " + error;
      c = judge_program(name, end, {});
    } else {
      c = run_on(plan, name, placed, "lab-" + stem + ".txt", i > 0);
    }
    seconds += c.seconds;
    if (c.outcome != verdict::passed) {
      c.reason = "on " + std::filesystem::path(plan.link_width_stations[i]).filename().string() +
                 (c.reason.empty() ? "" : ": " + c.reason);
      break;
    }
  }
  c.seconds = seconds;
  return c;
}

case_result run_one(const run_plan& plan, const std::string& name) {
  const std::string folder = platform::join_path(plan.out_folder, name);
  const std::string log = platform::join_path(folder, name + ".xml");
  process_end end;
  if (!platform::create_folders(folder)) {
    end.started = false;
    end.start_error = "cannot create the working folder " + folder;
    return judge_program(name, end, {});
  }
  // A log left from an earlier run must not pass for this one.
  if (std::string reason; !platform::delete_file(log, &reason) && platform::file_exists(log)) {
    end.started = false;
    end.start_error = "cannot remove " + log + ", left by an earlier run: " + reason;
    return judge_program(name, end, {});
  }
  if (!link_libraries(plan, folder, &end.start_error)) {
    end.started = false;
    return judge_program(name, end, {});
  }
  const std::string program = platform::join_path(plan.programs_folder, platform::program_file_name(name));
  if (!platform::can_open_for_reading(program)) {
    end.started = false;
    end.start_error = program + " not found";
    return judge_program(name, end, {});
  }
  if (name == link_width_program && !plan.link_width_stations.empty()) return run_campaign(plan, name);
  return run_on(plan, name, plan.station, "lab.txt", false);
}

// The programs that a stop request left out: in the reports, not run.
void add_not_run(const run_plan& plan, std::size_t from, std::vector<case_result>* cases, std::ostream& progress) {
  const std::string reason = "not run: zamsuite was asked to stop (signal " + std::to_string(platform::stop_signal()) + ")";
  progress << "zamsuite: asked to stop (signal " << platform::stop_signal() << "); " << plan.programs.size() - from
           << " program(s) not run" << std::endl;
  for (std::size_t i = from; i < plan.programs.size(); ++i) {
    case_result c;
    c.name = plan.programs[i];
    c.outcome = verdict::not_run;
    c.exit_status = "not run";
    c.reason = reason;
    cases->push_back(std::move(c));
  }
}

}  // namespace

std::vector<case_result> run_programs(const run_plan& plan, std::ostream& progress) {
  std::vector<case_result> cases;
  const std::size_t total = plan.programs.size();
  for (std::size_t i = 0; i < total; ++i) {
    if (platform::stop_requested()) {
      add_not_run(plan, i, &cases, progress);
      break;
    }
    char counter[32];
    std::snprintf(counter, sizeof counter, "[%2zu/%zu] ", i + 1, total);
    progress << counter << plan.programs[i] << " ..." << std::flush;
    case_result c = run_one(plan, plan.programs[i]);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", c.seconds);
    progress << " " << verdict_name(c.outcome) << " (" << seconds << ")";
    if (!c.reason.empty()) progress << ": " << c.reason;
    progress << std::endl;
    cases.push_back(std::move(c));
  }
  return cases;
}

}  // namespace zamsuite
