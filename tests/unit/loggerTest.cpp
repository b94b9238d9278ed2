#include "log/logger.h"

#include "log/logLineFormatter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dravix {
namespace {

using namespace std::chrono_literals;

struct receivedMessage {
    int64_t time;
    uint8_t level;
    std::string text;
};

// Collects what the logger hands to its callback and lets a test wait for it.
class messageCollector {
  public:
    static int callback(int64_t time, const uint8_t* level, const char* text, void* user) {
        auto* self = static_cast<messageCollector*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->messages_.push_back({time, *level, text});
        self->arrived_.notify_all();
        return 0;
    }

    // Waits until a message with `text` arrived (at most 10 s).
    bool waitFor(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, 10s, [&] {
            for (const auto& message : messages_) {
                if (message.text == text) {
                    return true;
                }
            }
            return false;
        });
    }

    std::vector<receivedMessage> messages() {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

    std::vector<std::string> texts() {
        std::vector<std::string> result;
        for (const auto& message : messages()) {
            result.push_back(message.text);
        }
        return result;
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<receivedMessage> messages_;
};

class loggerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-logger-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        path_ = directory_ + "/dravix.log";
    }

    void TearDown() override {
        log_.close();
        std::system(("rm -rf " + directory_).c_str());
    }

    std::vector<std::string> fileLines() const {
        std::ifstream file(path_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // The message part of a log file line (after the two tabs behind the level).
    static std::string messageOf(const std::string& line) {
        const std::size_t tabs = line.find("\t\t");
        return tabs == std::string::npos ? std::string() : line.substr(tabs + 2);
    }

    std::vector<std::string> fileMessages() const {
        std::vector<std::string> messages;
        for (const auto& line : fileLines()) {
            messages.push_back(messageOf(line));
        }
        return messages;
    }

    // Waits until the log file holds at least `count` lines (at most 10 s).
    bool waitForFileLines(std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (fileLines().size() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    std::string directory_;
    std::string path_;
    // Declared before the logger so that they outlive its callback thread.
    messageCollector collector_;
    messageCollector second_;
    logger log_;
};

logger* echoLog_ = nullptr;

logEntry entryAt(int64_t time, uint8_t level, const char* text) {
    logEntry entry{};
    entry.time = time;
    entry.level = level;
    std::snprintf(entry.text, sizeof entry.text, "%s", text);
    return entry;
}

TEST(loggerFormat, lineHasDateTimeLevelAndText) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 6 December 2026, 14:30:05 UTC.
    const logEntry entry = entryAt(1796567405, LOG_INFO, "camera count changed 1");
    char line[logLineFormatter::kMaxLineLength];
    logLineFormatter formatter;
    const std::size_t length = formatter.format(entry, line);
    EXPECT_EQ(std::string(line, length), "2026-12-06  14:30:05\tINFO\t\tcamera count changed 1\n");
}

TEST(loggerFormat, eachLineCarriesItsOwnSecond) {
    setenv("TZ", "UTC", 1);
    tzset();
    logLineFormatter formatter;
    char line[logLineFormatter::kMaxLineLength];
    const std::string longest(255, 'y');
    formatter.format(entryAt(1796567405, LOG_ERROR, "first"), line);
    const std::size_t length =
        formatter.format(entryAt(1796567406, LOG_WARN, longest.c_str()), line);
    EXPECT_EQ(std::string(line, length), "2026-12-06  14:30:06\tWARN\t\t" + longest + "\n");
}

TEST(loggerFormat, levelNames) {
    EXPECT_STREQ(logLineFormatter::levelName(1), "ERROR");
    EXPECT_STREQ(logLineFormatter::levelName(2), "WARN");
    EXPECT_STREQ(logLineFormatter::levelName(4), "INFO");
    EXPECT_STREQ(logLineFormatter::levelName(8), "DEBUG");
    EXPECT_STREQ(logLineFormatter::levelName(16), "VERBOSE");
    EXPECT_STREQ(logLineFormatter::levelName(255), "ALL");
    EXPECT_STREQ(logLineFormatter::levelName(3), "VERBOSE");
    EXPECT_STREQ(logLineFormatter::levelName(0), "VERBOSE");
}

TEST_F(loggerTest, fileIsEmptiedAtStartAndWrittenInBatchesOfFifty) {
    std::ofstream(path_) << "left over from an earlier session\n";
    log_.open(path_, true, true);
    EXPECT_TRUE(fileLines().empty());

    for (int i = 0; i < 48; ++i) {
        log_.info("message %d", i);
    }
    // 49 entries wait (with "Session started"): not yet a batch.
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(fileLines().empty());

    log_.info("message %d", 48);
    ASSERT_TRUE(waitForFileLines(50));
    const auto messages = fileMessages();
    EXPECT_EQ(messages.front(), "Session started");
    EXPECT_EQ(messages.back(), "message 48");
}

TEST_F(loggerTest, closeWritesEveryWaitingEntryInOrder) {
    log_.open(path_, true, true);
    log_.error("e%d", 1);
    log_.warn("w%d", 2);
    log_.debug("d%d", 3);
    log_.verbose("v%d", 4);
    log_.close();

    const auto lines = fileLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(messageOf(lines[0]), "Session started");
    EXPECT_NE(lines[1].find("\tERROR\t\te1"), std::string::npos);
    EXPECT_NE(lines[2].find("\tWARN\t\tw2"), std::string::npos);
    EXPECT_NE(lines[3].find("\tDEBUG\t\td3"), std::string::npos);
    EXPECT_NE(lines[4].find("\tVERBOSE\t\tv4"), std::string::npos);
    EXPECT_EQ(messageOf(lines[5]), "Session stopped");
    EXPECT_FALSE(log_.isOpen());
}

TEST_F(loggerTest, withoutFileLoggingNothingIsWritten) {
    log_.open(path_, true, false);
    for (int i = 0; i < 200; ++i) {
        log_.info("message %d", i);
    }
    log_.close();
    EXPECT_TRUE(fileLines().empty());
}

TEST_F(loggerTest, longMessagesAreCutAndReported) {
    log_.open(path_, true, true);
    const std::string longText(300, 'x');
    log_.info("%s", longText.c_str());
    EXPECT_EQ(log_.errorCount(), 1u);
    log_.close();

    const auto messages = fileMessages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[1], std::string(255, 'x'));
    EXPECT_EQ(messages[2], "maximum message size exceeded!");
}

TEST_F(loggerTest, errorsAreCountedEvenWhenNotQueued) {
    log_.open(path_, false, true);  // messages disabled
    log_.error("disabled");
    EXPECT_EQ(log_.errorCount(), 1u);

    log_.start(true, true);
    log_.setLevelMask(0);
    log_.error("masked");
    log_.warn("masked");
    EXPECT_EQ(log_.errorCount(), 2u);

    log_.setLevelMask(LOG_ERROR);
    log_.error("queued");
    log_.warn("dropped by the mask");
    log_.close();
    EXPECT_EQ(fileMessages(), (std::vector<std::string>{"Session started", "queued"}));
}

TEST_F(loggerTest, closedLoggerDropsEverything) {
    log_.error("before open");
    EXPECT_EQ(log_.errorCount(), 0u);
    log_.setCallback(&messageCollector::callback, nullptr, LOG_ALL);
    log_.stopCallback();
    log_.close();

    log_.open(path_, true, true);
    log_.error("counted");
    log_.close();
    EXPECT_EQ(log_.errorCount(), 0u);
    log_.error("after close");

    log_.open(path_, true, true);  // a new session starts from zero with an empty file
    EXPECT_EQ(log_.errorCount(), 0u);
    log_.close();
    EXPECT_EQ(fileMessages(), (std::vector<std::string>{"Session started", "Session stopped"}));
}

TEST_F(loggerTest, filePathChangeTakesEffectWithTheNextBatch) {
    log_.open(path_, true, true);
    const std::string otherPath = directory_ + "/other.log";
    log_.setFilePath(otherPath);
    EXPECT_EQ(log_.filePath(), otherPath);
    log_.info("goes to the other file");
    log_.close();
    EXPECT_TRUE(fileLines().empty());
    std::ifstream other(otherPath);
    std::string content((std::istreambuf_iterator<char>(other)), std::istreambuf_iterator<char>());
    EXPECT_NE(content.find("goes to the other file"), std::string::npos);
}

TEST_F(loggerTest, callbackReceivesItsLevelsInOrderIncludingEarlierMessages) {
    log_.open(path_, true, false);
    log_.info("before registration");
    messageCollector& collector = collector_;
    log_.setCallback(&messageCollector::callback, &collector, 0);  // 0: the default levels
    log_.error("an error");
    log_.warn("a warning");
    log_.debug("a debug message");
    log_.verbose("a verbose message");
    log_.info("last");
    ASSERT_TRUE(collector.waitFor("last"));
    EXPECT_EQ(collector.texts(), (std::vector<std::string>{"Session started", "before registration",
                                                           "an error", "a warning", "last"}));
    const auto messages = collector.messages();
    EXPECT_EQ(messages[2].level, LOG_ERROR);
    EXPECT_EQ(messages[3].level, LOG_WARN);
    EXPECT_NEAR(static_cast<double>(messages[2].time), static_cast<double>(std::time(nullptr)),
                5.0);
}

TEST_F(loggerTest, secondRegistrationReusesTheRunningThread) {
    log_.open(path_, true, false);
    messageCollector& first = collector_;
    messageCollector& second = second_;
    log_.setCallback(&messageCollector::callback, &first, LOG_ALL);
    log_.info("for the first");
    ASSERT_TRUE(first.waitFor("for the first"));
    log_.setCallback(&messageCollector::callback, &second, LOG_ALL);
    log_.info("for the second");
    ASSERT_TRUE(second.waitFor("for the second"));
    for (const auto& text : first.texts()) {
        EXPECT_NE(text, "for the second");
    }
}

TEST_F(loggerTest, registrationAfterStopDeliversWhatWaitsThenEnds) {
    log_.open(path_, true, false);
    messageCollector& first = collector_;
    log_.setCallback(&messageCollector::callback, &first, LOG_ALL);
    ASSERT_TRUE(first.waitFor("Session started"));
    log_.stopCallback();
    // Logged once the stopped thread has ended, so that its last pass can't take the message.
    for (int i = 0; i < 10000 && log_.isCallbackRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(log_.isCallbackRunning());
    log_.info("waiting while stopped");

    messageCollector& second = second_;
    log_.setCallback(&messageCollector::callback, &second, LOG_ALL);
    EXPECT_TRUE(second.waitFor("waiting while stopped"));
    log_.close();  // joins the ended thread without hanging
}

TEST_F(loggerTest, callbackAndFileBothSeeEveryMessageUnderLoad) {
    log_.open(path_, true, true);
    messageCollector& collector = collector_;
    log_.setCallback(&messageCollector::callback, &collector, LOG_ALL);
    constexpr int kPerThread = 3000;
    auto produce = [this](char tag) {
        for (int i = 0; i < kPerThread; ++i) {
            log_.info("%c%d", tag, i);
        }
    };
    std::thread a(produce, 'a');
    std::thread b(produce, 'b');
    a.join();
    b.join();
    log_.close();

    const auto fileTexts = fileMessages();
    ASSERT_EQ(fileTexts.size(), 2u * kPerThread + 2u);
    EXPECT_EQ(collector.texts(), fileTexts);
    // Each producer's messages keep their order.
    int nextA = 0;
    int nextB = 0;
    for (const auto& text : fileTexts) {
        if (text[0] == 'a') {
            EXPECT_EQ(text, "a" + std::to_string(nextA++));
        } else if (text[0] == 'b') {
            EXPECT_EQ(text, "b" + std::to_string(nextB++));
        }
    }
    EXPECT_EQ(nextA, kPerThread);
    EXPECT_EQ(nextB, kPerThread);
}

TEST_F(loggerTest, unopenableFileNeverBlocksReporters) {
    const std::string badPath = directory_ + "/missing-directory/dravix.log";
    log_.open(badPath, true, true);
    messageCollector& collector = collector_;
    log_.setCallback(&messageCollector::callback, &collector, LOG_ALL);
    for (int i = 0; i < 5000; ++i) {  // five times the ring
        log_.info("message %d", i);
    }
    log_.info("done");
    ASSERT_TRUE(collector.waitFor("done"));
    log_.close();

    int openFailures = 0;
    for (const auto& text : collector.texts()) {
        openFailures += text == "log file can't be opened";
    }
    // Reported once per failed batch, not on every retry.
    EXPECT_GE(openFailures, 1);
    EXPECT_LE(openFailures, 10);
    EXPECT_GE(log_.errorCount(), 0u);
}

TEST_F(loggerTest, reportsFromInsideTheCallbackDoNotDeadlock) {
    log_.open(path_, true, true);
    echoLog_ = &log_;
    auto echo = [](int64_t time, const uint8_t* level, const char* text, void* user) {
        if (std::string(text).rfind("echo", 0) != 0) {
            echoLog_->info("echo %s", text);
        }
        return messageCollector::callback(time, level, text, user);
    };
    log_.setCallback(echo, &collector_, LOG_ALL);
    for (int i = 0; i < 3000; ++i) {
        log_.info("message %d", i);
    }
    log_.info("done");
    EXPECT_TRUE(collector_.waitFor("done"));
    log_.close();
}

TEST_F(loggerTest, callbackMayChangeThePathAndRestartTheLog) {
    log_.open(path_, true, true);
    echoLog_ = &log_;
    static std::string otherPath;
    otherPath = directory_ + "/other.log";
    auto reconfigure = [](int64_t time, const uint8_t* level, const char* text, void* user) {
        if (std::string(text) == "reconfigure") {
            echoLog_->setFilePath(otherPath);
            echoLog_->start(true, true);
        }
        return messageCollector::callback(time, level, text, user);
    };
    log_.setCallback(reconfigure, &collector_, LOG_ALL);
    for (int i = 0; i < 2000; ++i) {  // keeps the file thread waiting for the callback
        if (i == 1000) {
            log_.info("reconfigure");
        } else {
            log_.info("message %d", i);
        }
    }
    log_.info("done");
    EXPECT_TRUE(collector_.waitFor("done"));
    log_.close();
    std::ifstream other(otherPath);
    std::string content((std::istreambuf_iterator<char>(other)), std::istreambuf_iterator<char>());
    EXPECT_NE(content.find("Session stopped"), std::string::npos);
}

}  // namespace
}  // namespace dravix
