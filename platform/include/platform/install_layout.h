// Where an installed tree keeps its parts relative to its prefix, so that the tree works
// wherever it was installed or unpacked.
#pragma once

#include <string>

namespace platform {

// The suite's own libraries below the prefix ("lib/<multiarch>/zam-suite" on Debian, fixed
// by the build): those the programs link and the driver libraries loaded by name.
std::string private_library_folder();

// The prefix of the tree a program or library folder belongs to: <prefix>/bin and
// <prefix>/<private library folder> give <prefix>; any other folder gives its parent.
// "." and ".." are folded first; trailing separators are ignored.
std::string install_prefix_of(const std::string& folder);

// The system settings folder of a prefix: <prefix>/etc/zam, except that a prefix whose last
// folder is "usr" keeps its settings in etc/zam beside it, as /usr keeps them in /etc
// ("/usr" gives "/etc/zam", "/tmp/root/usr" gives "/tmp/root/etc/zam"). "." and ".." are
// folded first.
std::string settings_folder_of_prefix(const std::string& prefix);

}  // namespace platform
