// Stands in for a compliance program in the suite-run tests: `zamsuite_stand_in -d DAT -l LOG`.
// The DAT file's first word (in an XML DAT file: its first comment) says what to do: "pass"
// logs a passed assertion and exits 0,
// "fail" a failed one and exits 6, "hang" starts its log and never ends. The log is written
// in text mode, as the framework writes it, and standard output lists the shared libraries
// of the working folder, sorted.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "platform/library.h"

int main(int argc, char** argv) {
  std::string dat, log;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "-d") == 0) dat = argv[i + 1];
    if (std::strcmp(argv[i], "-l") == 0) log = argv[i + 1];
  }
  std::string behaviour;
  platform::read_text_file(dat, &behaviour);
  const std::size_t comment = behaviour.find("<!--");
  if (behaviour.rfind("<", 0) == 0 && comment != std::string::npos) behaviour.erase(0, comment + 4);
  behaviour = behaviour.substr(0, behaviour.find_first_of(" \n-"));

  std::printf("libraries:");
  std::vector<std::string> names = platform::list_folder(".", platform::shared_library_pattern());
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::printf(" %s", name.c_str());
  }
  std::printf("\n");
  std::fflush(stdout);

  std::FILE* out = std::fopen(log.c_str(), "w");
  if (out == nullptr) return 10;
  std::fprintf(out, "<?xml version=\"1.0\"?>\n<VEXOXMLLog>\n<VEXOTest name=\"stand-in\">\n");
  if (behaviour == "hang") {
    std::fflush(out);
    std::this_thread::sleep_for(std::chrono::minutes(10));
  }
  const bool pass = behaviour == "pass";
  std::fprintf(out, "<ASSERTTAG assertion = \"DLL.5.2#1.0\" status = \"%s\">\nreplayed %s\n</ASSERTTAG>\n",
               pass ? "SUCCESS" : "FAILED", pass ? "once" : "never");
  std::fprintf(out, "</VEXOTest>\n</VEXOXMLLog>\n");
  std::fclose(out);
  return pass ? 0 : 6;
}
