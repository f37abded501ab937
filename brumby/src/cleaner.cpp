// The OEM INF cleaner: matching rule, deletion of each package and its .pnf companion.
#include "cleaner.h"

#include <fstream>

#include "platform/fs.h"

namespace brumby {
namespace {

constexpr const char* inf_pattern = "OEM*.inf";

void print_usage(std::ostream& out) {
  out << "Usage: Brumby <infdir> [GUID] [HARDWAREID]\n"
      << "Without GUID and/or HARDWAREID all OEM*.inf files are deleted.\n";
}

}  // namespace

bool inf_matches(const std::string& path, const std::vector<std::string>& needles) {
  if (needles.empty()) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<bool> found(needles.size(), false);
  std::size_t missing = needles.size();
  for (std::string line; missing > 0 && std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (std::size_t i = 0; i < needles.size(); ++i) {
      if (!found[i] && line.find(needles[i]) != std::string::npos) {
        found[i] = true;
        --missing;
      }
    }
  }
  return missing == 0;  // read no further than the rule needs
}

std::string pnf_companion(const std::string& inf_name) {
  const auto dot = inf_name.rfind('.');
  return (dot == std::string::npos ? inf_name : inf_name.substr(0, dot)) + ".pnf";
}

int run_cleaner(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  out << "Brumby\n"
      << "-----------------------------------\n\n";
  if (args.empty() || args.size() > 3) {
    print_usage(out);
    out.flush();
    return -1;
  }
  const std::string folder = platform::native_path(args[0].empty() ? "." : args[0]);
  // The GUID and the hardware ID, when given, must each stand in some line of the file.
  const std::vector<std::string> needles(args.begin() + 1, args.end());

  int deleted = 0;
  int status = 0;
  for (const auto& name : platform::list_folder(folder, inf_pattern)) {
    const std::string path = platform::join_path(folder, name);
    if (!inf_matches(path, needles)) continue;
    std::string reason;
    if (!platform::delete_file(path, &reason)) {
      err << "Brumby: cannot delete " << path << ": " << reason << "\n";
      status = 1;
      continue;
    }
    ++deleted;
    const std::string pnf = platform::join_path(folder, pnf_companion(name));
    if (platform::file_exists(pnf) && !platform::delete_file(pnf, &reason)) {
      err << "Brumby: cannot delete " << pnf << ": " << reason << "\n";
      status = 1;
    }
  }
  out << "Done, deleted entries: " << deleted << "\n";
  out.flush();
  return status;
}

}  // namespace brumby
