#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace v36 {

// One HID report in either direction: byte 0 the report id 2, byte 1 the
// command or response code, the rest payload, zero where unused.
constexpr std::size_t kReportSize = 61;
constexpr std::uint8_t kReportId = 2;
using Report = std::array<std::uint8_t, kReportSize>;

inline Report makeReport(std::uint8_t code) {
    Report r{};
    r[0] = kReportId;
    r[1] = code;
    return r;
}

// Command and response codes.
namespace cmd {
constexpr std::uint8_t kSetMode = 3;
constexpr std::uint8_t kStoreMode = 4;
constexpr std::uint8_t kRecallMode = 5;
constexpr std::uint8_t kResetMode = 6;
constexpr std::uint8_t kQueryMode = 7;
constexpr std::uint8_t kSetParam = 9;
constexpr std::uint8_t kReadParam = 10;
constexpr std::uint8_t kSetMusicSource = 11;
constexpr std::uint8_t kQueryMusicSource = 12;
constexpr std::uint8_t kQueryStatus = 14;
constexpr std::uint8_t kMicPair = 15;
constexpr std::uint8_t kSetHdmi = 16;
constexpr std::uint8_t kQueryHdmi = 17;
constexpr std::uint8_t kHomeFrame = 18;
constexpr std::uint8_t kHomeMemory = 20;
constexpr std::uint8_t kAuxState = 32;
constexpr std::uint8_t kLearnKey = 96;
constexpr std::uint8_t kStopLearn = 97;
constexpr std::uint8_t kQueryKeys = 98;
constexpr std::uint8_t kStoreKeys = 99;
constexpr std::uint8_t kRestart = 104;
constexpr std::uint8_t kQueryDspVersion = 126;
constexpr std::uint8_t kQueryProtocol = 127;
constexpr std::uint8_t kQueryModel = 128;
constexpr std::uint8_t kQueryMcuVersion = 129;
constexpr std::uint8_t kWriteRegisters = 133;
constexpr std::uint8_t kReadRegisters = 134;
constexpr std::uint8_t kDisconnect = 138;
constexpr std::uint8_t kAuxByte = 143;
constexpr std::uint8_t kWriteSettings = 145;
constexpr std::uint8_t kQuerySettings = 146;
constexpr std::uint8_t kModeName = 219;
}  // namespace cmd

}  // namespace v36
