#include "firmwareComponents.h"

#include "dravix/dravix.h"

namespace dravixctl {
namespace {

const struct {
    const char* name;
    firmwareComponents::startUpdate start;
} kComponents[] = {
    {"fx3", ZEL_CAM_Fx3FirmwareUpdate},        {"ccu-fpga", ZEL_CAM_FpgaCcuFirmwareUpdate},
    {"osd", ZEL_CAM_FpgaOsdGraficUpdate},      {"head-fpga", ZEL_CAM_FpgaHeadFirmwareUpdate},
    {"up-head", ZEL_CAM_UpHeadFirmwareUpdate}, {"up-uft", ZEL_CAM_UpUFTFirmwareUpdate},
    {"up-led", ZEL_CAM_UpLedFirmwareUpdate},
};

}  // namespace

firmwareComponents::startUpdate firmwareComponents::find(const std::string& name) {
    for (const auto& each : kComponents) {
        if (name == each.name) {
            return each.start;
        }
    }
    return nullptr;
}

std::vector<std::string> firmwareComponents::names() {
    std::vector<std::string> all;
    for (const auto& each : kComponents) {
        all.emplace_back(each.name);
    }
    return all;
}

std::string firmwareComponents::namesText() {
    const std::vector<std::string> all = names();
    std::string text;
    for (std::size_t i = 0; i < all.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == all.size() ? " or " : ", ") + all[i];
    }
    return text;
}

}  // namespace dravixctl
