#pragma once

#include <string>

// Per-user configuration of the library. On Linux the values live as KEY=VALUE lines in
// $XDG_CONFIG_HOME/dravix/dravix.conf (default ~/.config/dravix/dravix.conf).
namespace dravix::platform {

// The named value read as text and converted as atoi does; 0 when the file or value is missing.
int readConfigValue(const char* name);

// Directory that holds the default log file: $HOME, or the current directory when unset.
std::string userProfileDirectory();

}  // namespace dravix::platform
