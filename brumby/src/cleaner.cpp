// The OEM INF cleaner: matching rule, deletion of each package and its .pnf companion.
#include "cleaner.h"

#include <string_view>

#include "platform/fs.h"
#include "platform/input_file.h"
#include "platform/standard_options.h"

namespace brumby {
namespace {

constexpr const char* inf_pattern = "OEM*.inf";
constexpr const char* pnf_pattern = "*.pnf";

void print_usage(std::ostream& out) {
  out << "Usage: Brumby <infdir> [GUID] [HARDWAREID]\n"
      << "Without GUID and/or HARDWAREID all OEM*.inf files are deleted.\n";
}

std::string_view stem_of(std::string_view name) {
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

// Deletes one file; a failure is reported on `err` and returns false.
bool delete_reported(const std::string& path, std::ostream& err) {
  std::string reason;
  if (platform::delete_file(path, &reason)) return true;
  err << "Brumby: cannot delete " << path << ": " << reason << "\n";
  return false;
}

}  // namespace

inf_match inf_matches(const std::string& path, const std::vector<std::string>& needles,
                      std::string* reason) {
  if (needles.empty()) return inf_match::yes;
  std::string text;
  if (!platform::read_input_file(path, max_inf_file_bytes, &text, reason)) return inf_match::unreadable;
  std::vector<bool> found(needles.size(), false);
  std::size_t missing = needles.size();
  std::size_t start = 0;
  while (missing > 0 && start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (std::size_t i = 0; i < needles.size(); ++i) {
      if (!found[i] && line.find(needles[i]) != std::string_view::npos) {
        found[i] = true;
        --missing;
      }
    }
    start = end + 1;
  }
  return missing == 0 ? inf_match::yes : inf_match::no;
}

bool is_pnf_companion(const std::string& inf_name, const std::string& name) {
  const std::string_view stem = stem_of(inf_name);
  return name.size() == stem.size() + 4 &&
         platform::same_file_name(std::string_view(name).substr(0, stem.size()), stem) &&
         platform::same_file_name(std::string_view(name).substr(stem.size()), ".pnf");
}

int run_cleaner(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // A lone --help or --version is answered, never taken for a folder to clean (a folder of
  // that name is reached as ./--help).
  const platform::standard_option asked =
      args.size() == 1 ? platform::standard_option_of(args[0]) : platform::standard_option::none;
  if (asked == platform::standard_option::version) {
    out << platform::version_line("Brumby");
    out.flush();
    return 0;
  }
  out << "Brumby\n"
      << "-----------------------------------\n\n";
  if (args.empty() || args.size() > 3 || asked == platform::standard_option::help) {
    print_usage(out);
    out.flush();
    return asked == platform::standard_option::help ? 0 : -1;
  }
  const std::string folder = platform::native_path(args[0].empty() ? "." : args[0]);
  // The GUID and the hardware ID, when given, must each stand in some line of the file.
  const std::vector<std::string> needles(args.begin() + 1, args.end());

  int deleted = 0;
  int status = 0;
  std::vector<std::string> infs, pnfs;
  std::string reason;
  // A folder that cannot be read is not an empty one: a mistyped path must not read as
  // "nothing to delete".
  if (!platform::try_list_folder(folder, inf_pattern, &infs, &reason) ||
      !platform::try_list_folder(folder, pnf_pattern, &pnfs, &reason)) {
    err << "Brumby: cannot read folder " << folder << ": " << reason << "\n";
    status = 1;
  }
  for (const auto& name : infs) {
    const std::string path = platform::join_path(folder, name);
    const inf_match match = inf_matches(path, needles, &reason);
    if (match == inf_match::unreadable) {
      err << "Brumby: cannot read " << path << ": " << reason << "\n";
      status = 1;
    }
    if (match != inf_match::yes) continue;
    if (delete_reported(path, err)) {
      ++deleted;
    } else {
      status = 1;
    }
    // The companion goes whether or not the INF itself could be deleted; each is tried
    // once, even when two INF names differ only in case.
    for (auto pnf = pnfs.begin(); pnf != pnfs.end();) {
      if (!is_pnf_companion(name, *pnf)) {
        ++pnf;
        continue;
      }
      if (!delete_reported(platform::join_path(folder, *pnf), err)) status = 1;
      pnf = pnfs.erase(pnf);
    }
  }
  out << "Done, deleted entries: " << deleted << "\n";
  out.flush();
  return status;
}

}  // namespace brumby
