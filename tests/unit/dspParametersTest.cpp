// The DSP parameter conversions at the edges of their fields, and the white-balance push pair:
// its interrupt rules, its one-shot clearing and its consistency between threads.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "dsp/dspParameters.h"
#include "dsp/wbPushRegistration.h"

namespace {

using namespace dravix::dspParameters;
using dravix::DspFunction;
using dravix::wbPushRegistration;

TEST(dspParametersTest, offsetsKeepTheirBytesInsideTheRangeAndSaturateOutside) {
    const std::vector<std::pair<int32_t, std::array<uint8_t, 2>>> cases = {
        {0, {0x00, 0x00}},         {5, {0x00, 0x05}},     {-5, {0x08, 0x05}},
        {2047, {0x07, 0xFF}},      {-2047, {0x0F, 0xFF}}, {2048, {0x07, 0xFF}},
        {-2048, {0x0F, 0xFF}},     {3000, {0x07, 0xFF}},  {INT16_MAX, {0x07, 0xFF}},
        {INT16_MIN, {0x0F, 0xFF}}, {-300, {0x09, 0x2C}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeOffset(c.first), c.second) << c.first;
    }
    // Reading ignores bits 4 to 7 of the first byte; a negative zero reads 0.
    const std::vector<std::pair<std::array<uint8_t, 2>, int16_t>> reads = {
        {{0x08, 0x05}, -5},   {{0xF8, 0x05}, -5},    {{0x08, 0x00}, 0},
        {{0x07, 0xFF}, 2047}, {{0x0F, 0xFF}, -2047},
    };
    for (const auto& r : reads) {
        EXPECT_EQ(decodeOffset(r.first.data()), r.second);
    }
}

TEST(dspParametersTest, hueAbove359ReadsZeroAndOnlyBit0OfTheHighByteCounts) {
    const std::vector<std::pair<std::array<uint8_t, 2>, uint16_t>> cases = {
        {{0x01, 0x68}, 0}, {{0x01, 0x67}, 359}, {{0xFE, 0x67}, 0x67},
        {{0xFF, 0xFF}, 0}, {{0x00, 0x00}, 0},   {{0x01, 0x00}, 256},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeHue(c.first.data()), c.second);
    }
}

TEST(dspParametersTest, maskedWritesKeepOnlyTheFieldBits) {
    std::array<uint8_t, 2> bytes{};
    const std::vector<std::tuple<uint16_t, uint8_t, std::array<uint8_t, 2>>> cases = {
        {0xFFFF, k13BitHigh, {0x1F, 0xFF}},
        {0xFFFF, k12BitHigh, {0x0F, 0xFF}},
        {0xFFFF, 0xFF, {0xFF, 0xFF}},
        {0x2001, k13BitHigh, {0x00, 0x01}},
    };
    for (const auto& c : cases) {
        writeBe16(bytes.data(), std::get<0>(c), std::get<1>(c));
        EXPECT_EQ(bytes, std::get<2>(c));
    }
    writeWbCoordinate(bytes.data(), 101);
    EXPECT_EQ(bytes, (std::array<uint8_t, 2>{0x00, 0x64}));
    EXPECT_EQ(limitWbX(2000), 1919);
    EXPECT_EQ(limitWbY(2000), 1079);
    EXPECT_EQ(limitWbY(1079), 1079);
}

TEST(dspParametersTest, flagsNeverSpillIntoTheNextField) {
    const std::vector<std::tuple<uint8_t, uint8_t, uint8_t>> binning = {
        {1, 3, 0x07}, {0, 3, 0x06}, {2, 0, 0x01}, {0xFF, 0x7F, 0xFF}, {0, 0, 0x00},
    };
    for (const auto& c : binning) {
        EXPECT_EQ(encodeBinning(std::get<0>(c), std::get<1>(c)), std::get<2>(c));
        uint8_t a = 9, b = 9;
        decodeBinning(std::get<2>(c), a, b);
        EXPECT_EQ(a, std::get<0>(c) != 0 ? 1 : 0);
    }
    const std::vector<std::pair<uint8_t, uint8_t>> bayer = {{1, 0}, {0, 1}, {2, 0}, {0xFF, 0}};
    for (const auto& c : bayer) {
        EXPECT_EQ(encodeBayerMode(c.first), c.second) << int(c.first);
        EXPECT_EQ(decodeBayerMode(c.second), c.first != 0 ? 1 : 0);
    }
    EXPECT_EQ(decodeBayerMode(0xFE), 1);
}

TEST(dspParametersTest, flipBitsAndBanks) {
    const flipState flip = decodeFlip(0x0E);
    EXPECT_EQ((std::array<int, 4>{flip.horizontal, flip.vertical, flip.staticHorizontal,
                                  flip.staticVertical}),
              (std::array<int, 4>{1, 0, 1, 1}));
    EXPECT_TRUE(flip.hasStaticFlip());
    EXPECT_FALSE(decodeFlip(0x03).hasStaticFlip());

    const std::vector<std::tuple<DspFunction, uint8_t, int>> banks = {
        {DspFunction::EdgeEnhancement0, 0, 0x05},
        {DspFunction::EdgeEnhancement0, 1, 0x21},
        {DspFunction::Gamma0, 1, 0x22},
        {DspFunction::Sobel0, 1, 0x23},
        {DspFunction::Sobel0, 2, -1},
        {DspFunction::Gamma0, 255, -1},
        {DspFunction::Hue, 1, -1},
    };
    for (const auto& c : banks) {
        const auto code = bankCode(std::get<0>(c), std::get<1>(c));
        EXPECT_EQ(code ? int(*code) : -1, std::get<2>(c));
    }
}

TEST(dspParametersTest, dpcEntriesAreMaskedTo12Bits) {
    DpcEntry entries[kDpcEntries];
    for (int i = 0; i < kDpcEntries; ++i) {
        entries[i] = {static_cast<uint16_t>(0xF000 | i), static_cast<uint16_t>(0xFFFF)};
    }
    const auto block = encodeDpcTable(entries);
    EXPECT_EQ((std::array<uint8_t, 4>{block[4], block[5], block[6], block[7]}),
              (std::array<uint8_t, 4>{0x00, 0x01, 0x0F, 0xFF}));
    DpcEntry back[kDpcEntries];
    decodeDpcTable(block.data(), back);
    EXPECT_EQ(back[15].x, 15);
    EXPECT_EQ(back[15].y, 0xFFF);
}

// ---- White-balance push pair -------------------------------------------------------------------

int countCall(void* user) {
    ++*static_cast<int*>(user);
    return 0;
}

std::array<uint8_t, 5> interrupt(uint8_t source, uint32_t mask) {
    return {source, static_cast<uint8_t>(mask >> 24), static_cast<uint8_t>(mask >> 16),
            static_cast<uint8_t>(mask >> 8), static_cast<uint8_t>(mask)};
}

TEST(wbPushRegistrationTest, interruptRulesCallOnceOrKeep) {
    struct ruleCase {
        uint8_t source;
        uint32_t mask;
        int calls;   // after the report
        bool stays;  // still registered afterwards
    };
    const std::vector<ruleCase> cases = {
        {0, 1u << 6, 1, true},
        {0, 0xC4, 1, true},
        {1, 1u << 5, 1, false},
        {2, 1u << 4, 1, false},
        {1, (1u << 15) | (1u << 5), 0, true},
        {0, (1u << 15) | (1u << 6), 1, true},
        {2, 1u << 5, 0, true},
        {1, 1u << 6, 0, true},
        {4, 0xFFFFFFFF, 0, true},
    };
    for (const ruleCase& c : cases) {
        wbPushRegistration registration;
        int calls = 0;
        registration.store(&countCall, &calls);
        registration.onStatusInterrupt(interrupt(c.source, c.mask).data());
        EXPECT_EQ(calls, c.calls) << int(c.source) << " " << c.mask;
        EXPECT_EQ(registration.isRegistered(), c.stays) << int(c.source) << " " << c.mask;
    }
}

TEST(wbPushRegistrationTest, aWithdrawnTicketNeverClearsALaterRegistration) {
    wbPushRegistration registration;
    int calls = 0;
    const auto first = registration.store(&countCall, &calls);
    registration.clearIf(first);
    EXPECT_FALSE(registration.isRegistered());
    const auto second = registration.store(&countCall, &calls);
    registration.clearIf(first);
    EXPECT_TRUE(registration.isRegistered());
    registration.callOnce();
    registration.clearIf(second);
    registration.callOnce();
    EXPECT_EQ(calls, 1);
}

// The callback registers again from inside its own call: the new pair survives the one-shot.
TEST(wbPushRegistrationTest, aCallbackMayRegisterAgainFromItsCall) {
    static wbPushRegistration* current = nullptr;
    static int calls = 0;
    wbPushRegistration registration;
    current = &registration;
    calls = 0;
    auto again = [](void*) {
        ++calls;
        current->store(&countCall, &calls);
        return 0;
    };
    registration.store(again, nullptr);
    registration.callOnce();
    EXPECT_TRUE(registration.isRegistered());
    registration.callOnce();
    EXPECT_EQ(calls, 2);
}

// Each callback is registered with its own user value; a call never pairs one with the other's.
TEST(wbPushRegistrationTest, pairsStayWholeBetweenThreads) {
    static int first = 0;
    static int second = 0;
    static std::atomic<int> torn{0};
    auto firstCallback = [](void* user) {
        torn += user != &first;
        return 0;
    };
    auto secondCallback = [](void* user) {
        torn += user != &second;
        return 0;
    };
    wbPushRegistration registration;
    std::atomic<bool> done{false};
    std::thread registrar([&] {
        for (int i = 0; i < 2000; ++i) {
            registration.store(i % 2 ? +firstCallback : +secondCallback, i % 2 ? &first : &second);
        }
        done = true;
    });
    while (!done) {
        registration.callAndKeep();
    }
    registrar.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
