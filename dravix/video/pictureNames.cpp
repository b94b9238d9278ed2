#include "video/pictureNames.h"

#include <climits>
#include <cstdio>

namespace dravix {

pictureNames::parts pictureNames::split(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = path.substr(nameStart);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return {path.substr(0, nameStart), name};
}

std::string pictureNames::directoryToMake(const parts& path) {
    std::string directory = path.directory;
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

std::string pictureNames::baseName(int32_t nameMode, const std::string& base, const std::tm& local,
                                   int counter) {
    const int year = local.tm_year % 100;
    const int month = local.tm_mon + 1;
    const int day = local.tm_mday;
    const int hour = local.tm_hour;
    const int minute = local.tm_min;
    const int second = local.tm_sec;
    char fields[64];
    switch (nameMode) {
        case 0:
            fields[0] = '\0';
            break;
        case 1:
            std::snprintf(fields, sizeof(fields), "_%.3d", counter);
            break;
        case 2:
            std::snprintf(fields, sizeof(fields), "_%.2d%.2d%.2d", year, month, day);
            break;
        case 3:
            std::snprintf(fields, sizeof(fields), "_%.2d%.2d%.2d_%.3d", year, month, day, counter);
            break;
        case 4:
            std::snprintf(fields, sizeof(fields), "_%.2d%.2d%.2d", hour, minute, second);
            break;
        case 5:
            std::snprintf(fields, sizeof(fields), "_%.2d%.2d%.2d_%.2d", hour, minute, second,
                          counter);
            break;
        case 6:
            std::snprintf(fields, sizeof(fields), "_%.2d%.2d%.2d_%.2d%.2d%.2d", year, month, day,
                          hour, minute, second);
            break;
        case 7:
            std::snprintf(fields, sizeof(fields), "_%.2d%.2d%.2d_%.2d%.2d%.2d_%.2d", year, month,
                          day, hour, minute, second, counter);
            break;
        default:
            return std::string();
    }
    return base + fields;
}

std::string pictureNames::join(const parts& path, const std::string& suffix,
                               const std::string& extension) {
    return path.directory + path.base + suffix + "." + extension;
}

bool pictureNames::fitsLimits(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameLength =
        slash == std::string::npos ? path.size() : path.size() - slash - 1;
    return nameLength <= NAME_MAX && path.size() < PATH_MAX;
}

}  // namespace dravix
