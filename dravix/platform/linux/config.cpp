// Linux backend of the configuration source: a text file under the XDG configuration home.
#include "platform/config.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/configText.h"

namespace dravix::platform {
namespace {

std::string configFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/dravix/dravix.conf";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        return std::string();
    }
    return std::string(home) + "/.config/dravix/dravix.conf";
}

}  // namespace

int readConfigValue(const char* name) {
    const std::string path = configFilePath();
    if (path.empty()) {
        return 0;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return 0;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return configValueFromText(text.str(), name);
}

std::string userProfileDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) {
        return cwd;
    }
    return ".";
}

}  // namespace dravix::platform
