#include "commandRunner.h"

#include <cstdio>
#include <cstring>

#include "commandFailed.h"
#include "dspParameterTable.h"

namespace dravixctl {
namespace {

// A camera sends its identity in a start report after it was opened; without one (the emulated
// camera sends none) the versions stay unknown.
constexpr std::chrono::milliseconds kIdentityWait{1000};

std::string versionText(const VersionInfo& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

std::string buildText(const BuildInfo& build) {
    return std::to_string(build.part[0]) + "." + std::to_string(build.part[1]) + "." +
           std::to_string(build.part[2]) + "." + std::to_string(build.number);
}

std::string serialText(const SerialInfo& serial) {
    return std::to_string(serial.part[0]) + "-" + std::to_string(serial.part[1]) + "-" +
           std::to_string(serial.number);
}

// What the camera's identity report says, or "unknown" without one.
std::string knownIf(bool reported, const std::string& text) {
    return reported ? text : std::string("unknown");
}

// Negative results are the system's error numbers.
std::string resultText(const char* what, int32_t result) {
    const std::string reason = result < 0 ? std::string(": ") + std::strerror(-result) : "";
    return std::string(what) + " failed (result " + std::to_string(result) + reason +
           "); the library log (`dravixctl log`, or ~/dravix.log with FILELOG_ENABLE=1) says why";
}

}  // namespace

int commandRunner::run() {
    const std::string& command = call_.command;
    if (command == "list") {
        return list();
    }
    if (command == "info") {
        return info();
    }
    if (command == "get") {
        return call_.list || call_.arguments.empty() ? listParameters() : get();
    }
    if (command == "set") {
        return set();
    }
    if (command == "qpr") {
        return qpr();
    }
    return live_.run();
}

report commandRunner::identity(int32_t index) {
    const DeviceStatus status = session_.statusOf(index, kIdentityWait);
    uint32_t serialWord = 0;
    SerialInfo serial{};
    if (ZEL_CAM_Fx3GetSerialNumber(index, &serialWord) == 0) {
        static_assert(sizeof serial == sizeof serialWord, "serial record is one word");
        std::memcpy(&serial, &serialWord, sizeof serial);
    } else {
        serial = status.serialFx3;
    }
    const bool reported = session_.identified(index);
    const auto known = [&](const std::string& text) { return knownIf(reported, text); };
    report fields;
    fields.add("index", index)
        .add("serial", serialText(serial))
        .add("identity reported", reported)
        .add("controller version", known(versionText(status.versionFx3)))
        .add("controller build", known(buildText(status.buildFx3)))
        .add("ccu fpga version", known(versionText(status.versionCcuFpga)))
        .add("head version", known(versionText(status.versionElc)))
        .add("head fpga version", known(versionText(status.versionFpgaHead)))
        .add("usb speed", known(std::to_string(status.usbSpeed)));
    return fields;
}

int commandRunner::list() {
    const int count = session_.cameraCount();
    if (count > 0) {
        session_.openUpTo(count - 1);
    }
    if (call_.json) {
        jsonWriter json;
        json.beginObject();
        json.key("cameras");
        json.beginArray();
        for (int32_t index = 0; index < count; ++index) {
            json.beginObject();
            identity(index).writeMembers(json);
            json.endObject();
        }
        json.endArray();
        json.endObject();
        std::printf("%s\n", json.text().c_str());
        return 0;
    }
    std::printf("%d %s\n", count, count == 1 ? "camera" : "cameras");
    for (int32_t index = 0; index < count; ++index) {
        std::printf("\n%s", identity(index).text().c_str());
    }
    return 0;
}

int commandRunner::info() {
    session_.openUpTo(call_.camera);
    report fields = identity(call_.camera);
    const DeviceStatus status = session_.statusOf(call_.camera, kIdentityWait);
    const bool reported = session_.identified(call_.camera);
    const uint32_t frameBytes = live_.sampleFrameBytes();
    fields.add("head serial", knownIf(reported, serialText(status.serialElc)))
        .add("controller hardware revision",
             knownIf(reported, std::to_string(status.hardwareRevFx3)))
        .add("head hardware revision", knownIf(reported, std::to_string(status.hardwareRevElc)))
        .add("frame bytes", frameBytes)
        .add("stream format", frameBytes > 0
                                  ? "YUY2, " + std::to_string(frameBytes / 2) + " pixels"
                                  : std::string("unknown (the stream gave no frame within 1 s)"))
        .add("cameras present", session_.found())
        .add("settings saved", status.eepromSaved != 0)
        .add("head keys", std::vector<int64_t>{status.headKeys[0], status.headKeys[1]});
    fields.print(call_.json);
    return 0;
}

int commandRunner::listParameters() {
    if (call_.json) {
        jsonWriter json;
        json.beginObject();
        json.key("parameters");
        json.beginArray();
        for (const dspParameter& parameter : dspParameterTable::all()) {
            report fields;
            fields.add("name", parameter.name)
                .add("exports", parameter.exports)
                .add("get values", static_cast<int64_t>(parameter.get ? parameter.getCount : 0))
                .add("set values", static_cast<int64_t>(parameter.set ? parameter.setCount() : 0))
                .add("ranges", parameter.rangeText())
                .add("banked", parameter.banked);
            json.beginObject();
            fields.writeMembers(json);
            json.endObject();
        }
        json.endArray();
        json.endObject();
        std::printf("%s\n", json.text().c_str());
        return 0;
    }
    for (const dspParameter& parameter : dspParameterTable::all()) {
        std::printf("%-20s %2zu  %-28s %s%s\n", parameter.name, parameter.setCount(),
                    parameter.rangeText().c_str(), parameter.exports,
                    parameter.banked ? " [--bank]" : "");
    }
    return 0;
}

int commandRunner::get() {
    const dspParameter* parameter = dspParameterTable::find(call_.arguments[0]);
    if (parameter == nullptr) {
        throw usageError(
            "get", "no parameter '" + call_.arguments[0] + "': `dravixctl get --list` shows them");
    }
    if (parameter->get == nullptr) {
        throw commandFailed(std::string(parameter->name) + " is write-only");
    }
    session_.openUpTo(call_.camera);
    std::vector<int64_t> values(parameter->setCount() + 1);
    const int32_t result =
        parameter->get(call_.camera, static_cast<uint8_t>(call_.bank), values.data());
    if (result != 0) {
        throw commandFailed(
            resultText(("reading " + std::string(parameter->name)).c_str(), result));
    }
    values.resize(parameter->getCount);
    report fields;
    fields.add("name", parameter->name).add("values", values);
    fields.print(call_.json);
    return 0;
}

int commandRunner::set() {
    const dspParameter* parameter = dspParameterTable::find(call_.arguments[0]);
    if (parameter == nullptr) {
        throw usageError(
            "set", "no parameter '" + call_.arguments[0] + "': `dravixctl get --list` shows them");
    }
    std::string problem;
    const std::vector<std::string> texts(call_.arguments.begin() + 1, call_.arguments.end());
    const std::vector<int64_t> values = dspParameterTable::parseValues(*parameter, texts, problem);
    if (!problem.empty()) {
        throw usageError("set", problem);
    }
    session_.openUpTo(call_.camera);
    const int32_t result =
        parameter->set(call_.camera, static_cast<uint8_t>(call_.bank), values.data());
    if (result != 0) {
        throw commandFailed(
            resultText(("setting " + std::string(parameter->name)).c_str(), result));
    }
    report fields;
    fields.add("name", parameter->name).add("values", values);
    if (parameter->get != nullptr) {
        // Read back, so that the output shows what the camera holds now.
        std::vector<int64_t> now(parameter->setCount() + 1);
        if (parameter->get(call_.camera, static_cast<uint8_t>(call_.bank), now.data()) == 0) {
            now.resize(parameter->getCount);
            fields.add("read back", now);
        }
    }
    fields.print(call_.json);
    return 0;
}

int commandRunner::qpr() {
    const bool save = call_.arguments[0] == "save";
    const std::string& path = call_.arguments[1];
    session_.openUpTo(call_.camera);
    const auto head = static_cast<uint8_t>(*call_.head);
    const int32_t result = save ? ZEL_CAM_writeQprFile(call_.camera, path.c_str(), head)
                                : ZEL_CAM_readQprFile(call_.camera, path.c_str(), head);
    if (result != 0) {
        throw commandFailed(resultText(
            save ? "saving the settings to the QPR file" : "loading the settings from the QPR file",
            result));
    }
    report fields;
    fields.add("action", save ? "saved" : "loaded").add("file", path).add("head", *call_.head);
    fields.print(call_.json);
    return 0;
}

}  // namespace dravixctl
