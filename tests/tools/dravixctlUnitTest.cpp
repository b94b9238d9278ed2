// The parts of dravixctl that work without a camera: the command line, the DSP parameter
// table, the JSON writer, the progress text and the picture kinds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <limits>
#include <set>

#include "commandLine.h"
#include "dspParameterTable.h"
#include "firmwareComponents.h"
#include "jsonWriter.h"
#include "liveCommands.h"
#include "progressLine.h"

namespace {

using namespace dravixctl;

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t space = line.find(' ', at);
        out.push_back(line.substr(at, space == std::string::npos ? std::string::npos : space - at));
        at = space == std::string::npos ? line.size() : space + 1;
    }
    return out;
}

TEST(commandLineTest, AcceptedLinesGiveTheirSettings) {
    const struct {
        const char* line;
        const char* command;
        std::size_t arguments;
        int32_t camera;
        bool json;
        int32_t seconds;
        int head;
        uint8_t logMask;
    } cases[] = {
        {"list", "list", 0, 0, false, 5, -1, 7},
        {"--camera 3 --json info", "info", 0, 3, true, 5, -1, 7},
        {"info --camera=9", "info", 0, 9, false, 5, -1, 7},
        {"set offset -5", "set", 2, 0, false, 5, -1, 7},
        {"set hue 0x10", "set", 2, 0, false, 5, -1, 7},
        {"qpr save a.qpr --head 2", "qpr", 2, 0, false, 5, 2, 7},
        {"stream --seconds 10 --json", "stream", 0, 0, true, 10, -1, 7},
        {"log --level error", "log", 0, 0, false, 5, -1, 1},
        {"log --level verbose", "log", 0, 0, false, 5, -1, 31},
        {"snapshot -- -odd.jpg", "snapshot", 1, 0, false, 5, -1, 7},
        {"get --list", "get", 0, 0, false, 5, -1, 7},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.line);
        const invocation call = commandLine::parse(words(test.line));
        EXPECT_EQ(call.command, test.command);
        EXPECT_EQ(call.arguments.size(), test.arguments);
        EXPECT_EQ(call.camera, test.camera);
        EXPECT_EQ(call.json, test.json);
        EXPECT_EQ(call.seconds, test.seconds);
        EXPECT_EQ(call.head.value_or(-1), test.head);
        EXPECT_EQ(call.logMask, test.logMask);
    }
}

TEST(commandLineTest, RefusedLinesSayWhy) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"", "no command given"},
        {"frobnicate", "unknown command 'frobnicate'"},
        {"frobnicate --help", "unknown command 'frobnicate'"},
        {"list extra", "list takes fewer arguments"},
        {"set hue", "set takes more arguments"},
        {"--camera 10 list", "--camera needs a whole number from 0 to 9, not '10'"},
        {"--camera x list", "--camera needs a whole number from 0 to 9, not 'x'"},
        {"list --camera", "--camera needs a value"},
        {"list --verbose", "unknown option --verbose"},
        {"list --json=1", "--json takes no value"},
        {"stream --seconds 0", "--seconds needs a whole number from 1 to 86400, not '0'"},
        {"stream --head 1", "stream has no option --head"},
        {"info --list", "info has no option --list"},
        {"qpr save a.qpr", "qpr needs --head N (the head type, 0 to 255)"},
        {"qpr copy a.qpr --head 1", "qpr is followed by save or load"},
        {"qpr save a.qpr --head 256", "--head needs a whole number from 0 to 255, not '256'"},
        {"log --level loud", "--level is error, warn, info, debug or verbose"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.line);
        try {
            commandLine::parse(words(test.line));
            ADD_FAILURE() << "accepted";
        } catch (const usageError& error) {
            EXPECT_EQ(std::string(error.what()), test.message);
        }
    }
}

TEST(commandLineTest, HelpWinsOverEverythingElseAndUsageNamesTheCommand) {
    const invocation call = commandLine::parse(words("set --help"));
    EXPECT_TRUE(call.help);
    EXPECT_NE(commandLine::usage("set").find("set NAME VALUES..."), std::string::npos);
    for (const std::string& name : commandLine::commandNames()) {
        EXPECT_NE(commandLine::usage("").find("  " + name), std::string::npos) << name;
    }
}

TEST(commandLineTest, NumbersAreWholeAndInRange) {
    const struct {
        const char* text;
        int64_t minimum;
        int64_t maximum;
        std::optional<int64_t> expected;
    } cases[] = {
        {"0", 0, 255, 0},
        {"255", 0, 255, 255},
        {"256", 0, 255, std::nullopt},
        {"-1", 0, 255, std::nullopt},
        {"-32768", -32768, 32767, -32768},
        {"0x1F", 0, 255, 31},
        {"12a", 0, 255, std::nullopt},
        {"", 0, 255, std::nullopt},
        {" 1", 0, 255, std::nullopt},
        {"+1", 0, 255, std::nullopt},
        {"99999999999999999999", 0, 255, std::nullopt},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(commandLine::parseNumber(test.text, test.minimum, test.maximum), test.expected);
    }
}

TEST(dspParameterTableTest, EveryParameterIsNamedOnceAndItsCountsFitItsExports) {
    std::set<std::string> names;
    for (const dspParameter& parameter : dspParameterTable::all()) {
        SCOPED_TRACE(parameter.name);
        EXPECT_TRUE(names.insert(parameter.name).second);
        EXPECT_EQ(dspParameterTable::find(parameter.name), &parameter);
        EXPECT_TRUE(parameter.get != nullptr || parameter.set != nullptr);
        EXPECT_LE(parameter.getCount, parameter.setCount());
        EXPECT_EQ(parameter.get == nullptr, parameter.getCount == 0);
        for (const valueRange& range : parameter.ranges) {
            EXPECT_LT(range.minimum, range.maximum);
            EXPECT_GT(range.count, 0u);
        }
    }
    EXPECT_EQ(dspParameterTable::find("no-such"), nullptr);
    EXPECT_EQ(dspParameterTable::find("gamma")->setCount(), 37u);
    EXPECT_EQ(dspParameterTable::find("window-sizes")->getCount, 32u);
    EXPECT_EQ(dspParameterTable::find("window-sizes")->setCount(), 33u);
}

TEST(dspParameterTableTest, ValuesAreCheckedAgainstCountAndRanges) {
    const struct {
        const char* name;
        const char* values;
        const char* problem;
    } cases[] = {
        {"hue", "359", ""},
        {"hue", "360", "value 1 of hue is '360'; it must be a whole number from 0 to 359"},
        {"offset", "-32768", ""},
        {"offset", "-32769",
         "value 1 of offset is '-32769'; it must be a whole number from -32768 "
         "to 32767"},
        {"ov-exp", "255 65535 255", ""},
        {"ov-exp", "255 65535 256",
         "value 3 of ov-exp is '256'; it must be a whole number from 0 "
         "to 255"},
        {"dpc-config", "2 0",
         "value 1 of dpc-config is '2'; it must be a whole number from 0 to 1"},
        {"gain", "1 2 3", "gain takes 4 value(s) (0..65535 x4), not 3"},
        {"toggle-state", "1 1", "toggle-state is read-only"},
        {"raw-mode", "1", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.name) + " " + test.values);
        std::string problem;
        const auto values = dspParameterTable::parseValues(*dspParameterTable::find(test.name),
                                                           words(test.values), problem);
        EXPECT_EQ(problem, test.problem);
        EXPECT_EQ(values.size(), problem.empty() ? words(test.values).size() : 0u);
    }
}

TEST(jsonWriterTest, StringsAreEscapedAndInvalidUtf8Replaced) {
    const struct {
        std::string text;
        std::string quoted;
    } cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"tab\tline\nret\r", "\"tab\\tline\\nret\\r\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"\x01\x1f\x7f", "\"\\u0001\\u001f\\u007f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"\xff", "\"\xef\xbf\xbd\""},
        {"\xc3", "\"\xef\xbf\xbd\""},                                  // cut short
        {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                  // overlong
        {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // surrogate
    };
    for (const auto& test : cases) {
        EXPECT_EQ(jsonWriter::quoted(test.text), test.quoted);
    }
}

TEST(jsonWriterTest, NestedDocumentsGetTheirCommas) {
    jsonWriter json;
    json.beginObject();
    json.key("cameras");
    json.beginArray();
    for (int i = 0; i < 2; ++i) {
        json.beginObject();
        json.key("index");
        json.value(int64_t{i});
        json.key("ok");
        json.value(i == 0);
        json.endObject();
    }
    json.endArray();
    json.key("values");
    json.value(std::vector<int64_t>{1, -2});
    json.key("rate");
    json.value(2.5);
    json.key("none");
    json.value(std::numeric_limits<double>::quiet_NaN());
    json.endObject();
    EXPECT_EQ(json.text(),
              "{\"cameras\":[{\"index\":0,\"ok\":true},{\"index\":1,\"ok\":false}],"
              "\"values\":[1,-2],\"rate\":2.5,\"none\":null}");
}

TEST(progressLineTest, RateAndTimeLeftFollowThePercentage) {
    const progressLine progress(1024 * 1024);
    const struct {
        int percent;
        double seconds;
        const char* plain;
    } cases[] = {
        {0, 0.0, "progress 0% 0 B/s --:-- left\n"},
        {25, 2.0, "progress 25% 128.0 KiB/s 0:06 left\n"},
        {50, 60.0, "progress 50% 8.5 KiB/s 1:00 left\n"},
        {100, 0.5, "progress 100% 2.0 MiB/s 0:00 left\n"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(progress.plain(test.percent, test.seconds), test.plain);
    }
    EXPECT_EQ(progress.bar(50, 1.0).substr(0, 33), "\r[###############               ]");
    EXPECT_EQ(progressLine::rateText(1000), "1000 B/s");
}

TEST(liveCommandsTest, PictureKindsByExtensionAndUpdateResultNames) {
    const struct {
        const char* path;
        const char* kind;
    } cases[] = {
        {"a.jpg", "jpeg"}, {"a.JPEG", "jpeg"}, {"dir/a.bmp", "bmp"},
        {"a.raw", "raw"},  {"a.yuv", "raw"},   {"a.png", ""},
        {"a", ""},         {"dir.jpg/a", ""},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(liveCommands::pictureKindOf(test.path), test.kind) << test.path;
    }
    const std::string id = std::to_string(getpid());
    const struct {
        const char* path;
        std::string requested;
    } requests[] = {
        {"a.jpg", ".a.dravixctl-" + id + "-.jpg"},
        {"dir/sub/a.b.raw", "dir/sub/.a.b.dravixctl-" + id + "-.raw"},
        {"/abs/x.JPEG", "/abs/.x.dravixctl-" + id + "-.JPEG"},
    };
    for (const auto& test : requests) {
        EXPECT_EQ(liveCommands::requestPathFor(test.path), test.requested) << test.path;
    }
    EXPECT_EQ(liveCommands::updateResultName(0), "done");
    EXPECT_EQ(liveCommands::updateResultName(44), "erase failed");
    EXPECT_EQ(liveCommands::updateResultName(7), "unknown result");
}

TEST(firmwareComponentsTest, OneTableNamesTheComponentsEverywhere) {
    const std::vector<std::string> names = firmwareComponents::names();
    ASSERT_EQ(names.size(), 7u);
    for (const std::string& name : names) {
        EXPECT_NE(firmwareComponents::find(name), nullptr) << name;
        EXPECT_NE(commandLine::usage("firmware").find(name), std::string::npos) << name;
    }
    EXPECT_EQ(firmwareComponents::find("toaster"), nullptr);
    EXPECT_EQ(firmwareComponents::namesText(),
              "fx3, ccu-fpga, osd, head-fpga, up-head, up-uft or up-led");
}

}  // namespace
