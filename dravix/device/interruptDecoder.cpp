#include "device/interruptDecoder.h"

#include <utility>

namespace dravix {

namespace {

struct eventName {
    uint8_t bit;
    const char* name;
};

struct sourceNames {
    const char* type;
    const eventName* events;
    std::size_t count;
};

// The event names of each source in the order they are logged (the FPGA's bits 6 and 7 come
// before its bit 5).
constexpr eventName kFpgaEvents[] = {
    {0, "INTR_HEAD"},           {1, "INTR_HDMI"},          {2, "INTR_BOOTED"},
    {3, "INTR_HEAD_DETECT"},    {4, "INTR_HEAD_ERROR"},    {6, "INTR_WB_DONE"},
    {7, "INTR_DIMENSION"},      {5, "INTR_DECODE_FINISH"}, {8, "INTR_DECODE_CRC_ERR"},
    {9, "INTR_DECODE_TIMEOUT"}, {10, "INTR_DPC_DONE"},     {11, "INTR_FIBER_MEAS"},
    {12, "INTR_FMB_NO_FRM"},    {13, "INTR_FMB_FRM"},      {14, "INTR_USR_CTRL"},
    {15, "INTR_PERI"},
};
constexpr eventName kHeadEvents[] = {
    {0, "INFO_BOOTED"},          {1, "INFO_InitDone"},     {2, "INFO_KeyPressed"},
    {3, "INFO_WBStart"},         {4, "INFO_WBRequest"},    {5, "INFO_WBDone"},
    {6, "INFO_WINDOW"},          {7, "INFO_SPIEEP_READY"}, {8, "INFO_SPIEEP_BUSY"},
    {9, "INFO_SENSORCONNECTED"}, {10, "INFO_NOSENSOR"},    {11, "INFO_DOWNSTREAM_CAL"},
};
constexpr eventName kFx3Events[] = {
    {0, "INTR_FX3_APP_STARTED"}, {1, "INTR_FX3_HEAD_CONNECTED"}, {2, "INTR_FX3_SAVE_EEP_FINISH"},
    {3, "INTR_FX3_FLIP"},        {4, "INTR_FX3_WB_DONE"},
};
constexpr eventName kRecorderEvents[] = {
    {0, "INTR_REC_BOOTED"},   {1, "INTR_REC_STARTED"},   {2, "INTR_REC_STOPPED"},
    {3, "INTR_REC_CAPTURED"}, {4, "INTR_REC_USB_AVAIL"}, {5, "INTR_REC_NO_USB"},
};

template <std::size_t N>
constexpr sourceNames namesOf(const char* type, const eventName (&events)[N]) {
    return {type, events, N};
}

sourceNames namesOf(uint8_t source) {
    switch (source) {
        case interruptDecoder::kSourceFpga:
            return namesOf("FPGA", kFpgaEvents);
        case interruptDecoder::kSourceHead:
            return namesOf("HEAD", kHeadEvents);
        case interruptDecoder::kSourceFx3:
            return namesOf("FX3", kFx3Events);
        case interruptDecoder::kSourceDriver:
            return {"DRIVER", nullptr, 0};
        case interruptDecoder::kSourceRecorder:
            return namesOf("REC", kRecorderEvents);
        default:
            return {"UNKOWN", nullptr, 0};
    }
}

constexpr bool isSet(uint32_t mask, int bit) {
    return (mask & (1u << bit)) != 0;
}

uint32_t maskOf(const interruptThread::data& report) {
    return static_cast<uint32_t>(report[1]) << 24 | static_cast<uint32_t>(report[2]) << 16 |
           static_cast<uint32_t>(report[3]) << 8 | report[4];
}

// The recorder's bits 1 to 5 only log what happened.
constexpr const char* kRecorderLines[] = {"Recording started", "Recording stopped",
                                          "Rec, Frame Captured", "Rec, USB Drive connected",
                                          "Rec, USB Drive removed"};

constexpr uint8_t kHeadKeyHighNibbles = 0xF0;

}  // namespace

interruptDecoder::interruptDecoder(logger& log, deviceCommands& commands, identityRefresh& refresh,
                                   wbPushRegistration& wbPush, stopCheck stop, statusReport report)
    : log_(log),
      commands_(commands),
      refresh_(refresh),
      wbPush_(wbPush),
      stop_(std::move(stop)),
      report_(std::move(report)) {}

const char* interruptDecoder::typeName(uint8_t source) {
    return namesOf(source).type;
}

std::string interruptDecoder::eventText(uint8_t source, uint32_t mask) {
    const sourceNames names = namesOf(source);
    std::string text;
    for (std::size_t i = 0; i < names.count; ++i) {
        if (!isSet(mask, names.events[i].bit)) {
            continue;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += names.events[i].name;
    }
    return text;
}

void interruptDecoder::decode(const interruptThread::data& report) {
    const uint8_t source = report[0];
    const uint32_t mask = maskOf(report);
    log_.debug("Interrupt, type: %s (%d)\n\t0x%X: status: %s ", typeName(source), source, mask,
               eventText(source, mask).c_str());
    bool done = source != kSourceFpga || fpgaActions(mask, report);
    if (done && (mask & kSkipActions) == 0) {
        switch (source) {
            case kSourceHead:
                done = headActions(mask, report);
                break;
            case kSourceFx3:
                done = fx3Actions(mask, report);
                break;
            case kSourceRecorder:
                done = recorderActions(mask);
                break;
            default:
                break;
        }
    }
    if (done && !stopped()) {
        reportStatus();
    }
}

void interruptDecoder::resync() {
    if (refresh_.controllerFull(stop_) && refresh_.head(stop_)) {
        reportStatus();
    }
}

bool interruptDecoder::fpgaActions(uint32_t mask, const interruptThread::data& report) {
    if (isSet(mask, 2) && !refresh_.controller(stop_)) {
        return false;
    }
    if (isSet(mask, 6)) {
        wbPush_.onStatusInterrupt(report.data());  // kept registered
    }
    return !isSet(mask, 7) || outputSize();
}

bool interruptDecoder::headActions(uint32_t mask, const interruptThread::data& report) {
    if (isSet(mask, 0) && !refresh_.head(stop_)) {
        return false;
    }
    if (isSet(mask, 2)) {
        if (stopped()) {
            return false;
        }
        commands_.getHeadKeys();
    }
    if (isSet(mask, 5)) {
        wbPush_.onStatusInterrupt(report.data());  // called once
    }
    return true;
}

bool interruptDecoder::fx3Actions(uint32_t mask, const interruptThread::data& report) {
    if (isSet(mask, 0) && !refresh_.controllerFull(stop_)) {
        return false;
    }
    if (isSet(mask, 1) && !(refresh_.head(stop_) && outputSize())) {
        return false;
    }
    if (isSet(mask, 2)) {
        commands_.updateStatus([](DeviceStatus& status) { status.eepromSaved = 1; });
    }
    if (isSet(mask, 4)) {
        wbPush_.onStatusInterrupt(report.data());  // called once
    }
    return true;
}

bool interruptDecoder::recorderActions(uint32_t mask) {
    if (isSet(mask, 0) && !refresh_.recorder(stop_)) {
        return false;
    }
    for (int bit = 1; bit <= 5; ++bit) {
        if (isSet(mask, bit)) {
            log_.debug("%s", kRecorderLines[bit - 1]);
        }
    }
    return true;
}

bool interruptDecoder::outputSize() {
    if (stopped()) {
        return false;
    }
    commands_.getOutputSize();
    return true;
}

// Under the record's lock, so that no other report sees the key bytes between the two steps.
// The nibbles are cleared with no callback registered too: a callback registered later must not
// see a stale key press.
void interruptDecoder::reportStatus() {
    commands_.updateStatus([this](DeviceStatus& status) {
        report_();
        status.headKeys[0] &= kHeadKeyHighNibbles;
        status.headKeys[1] &= kHeadKeyHighNibbles;
    });
}

}  // namespace dravix
