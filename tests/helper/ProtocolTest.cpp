#include "helper/Protocol.h"

#include <gtest/gtest.h>

#include <string>

using namespace halvern::helper::protocol;

namespace {

TEST(Protocol, EveryKindSurvivesTheRoundTrip) {
    const Message messages[] = {
        {Kind::Hello, kVersion, {}, {}},
        {Kind::WriteFile, 0, "/etc/hosts", std::string("127.0.0.1 a\n\0\xff", 14)},
        {Kind::CopyFile, 0, "/etc/hosts", "/etc/hostszvb"},
        {Kind::RenameFile, 0, "/etc/hostszvf", "/etc/hosts"},
        {Kind::RemoveFile, 0, "/etc/hostszvb", {}},
        {Kind::Recover, 0, "/etc/hosts", {}},
        {Kind::FlushNameCaches, 0, {}, {}},
        {Kind::TakePort80, 0, {}, {}},
        {Kind::Granted, 0, {}, {}},
        {Kind::HeldByOther, 0, "alice", {}},
        {Kind::NotAuthorised, 0, "not in the group", {}},
        {Kind::VersionMismatch, 7, "speaks 7", {}},
        {Kind::Done, 0, {}, {}},
        {Kind::Failed, 0, "Permission denied", {}},
        {Kind::Listener, 0, {}, {}},
    };
    for (const Message& message : messages) {
        const std::string frame = encode(message);
        const auto cut = cutFrame(frame);
        ASSERT_EQ(cut.status, FrameCut::Status::Complete);
        ASSERT_EQ(cut.length, frame.size());
        EXPECT_EQ(decode(std::string_view(frame).substr(kPrefix)), message)
            << static_cast<int>(message.kind);
    }
}

TEST(Protocol, TheHelloFrameNeverChanges) {
    // Any two versions must read each other's Hello: length 5, kind 1, the version.
    EXPECT_EQ(encode({Kind::Hello, 0x01020304, {}, {}}),
              std::string("\0\0\0\x05\x01\x01\x02\x03\x04", 9));
    EXPECT_LE(encode({Kind::Hello, kVersion, {}, {}}).size(), kMaxHelloFrame);
}

TEST(Protocol, FramesAreCutWhereTheyEnd) {
    const std::string frame = encode({Kind::RemoveFile, 0, "/etc/hosts", {}});
    EXPECT_EQ(cutFrame("").status, FrameCut::Status::Incomplete);
    EXPECT_EQ(cutFrame(frame.substr(0, 3)).length, 0u);
    const auto partial = cutFrame(frame.substr(0, 6));
    EXPECT_EQ(partial.status, FrameCut::Status::Incomplete);
    EXPECT_EQ(partial.length, frame.size());
    const auto whole = cutFrame(frame + frame);
    EXPECT_EQ(whole.status, FrameCut::Status::Complete);
    EXPECT_EQ(whole.length, frame.size());
}

TEST(Protocol, OversizedFramesAreRefusedByTheirPrefix) {
    EXPECT_EQ(cutFrame(std::string("\xff\xff\xff\xff", 4)).status, FrameCut::Status::TooLarge);
    EXPECT_EQ(cutFrame(std::string("\0\0\0\x41", 4), kMaxHelloFrame).status,
              FrameCut::Status::TooLarge);
    EXPECT_EQ(cutFrame(std::string("\0\0\0\x40", 4), kMaxHelloFrame).status,
              FrameCut::Status::Incomplete);
    // A hosts file of 4 million names fits.
    EXPECT_GT(kMaxFrame, 4'000'000u * 30u);
}

TEST(Protocol, MalformedPayloadsDecodeToNothing) {
    const std::string cases[] = {
        "",                                      // no kind
        std::string("\0", 1),                    // kind 0
        "\x09",                                  // a kind after the requests
        "\x80",                                  // a kind before the answers
        "\xff",                                  // past the answers
        std::string("\x01\0\0\x01", 4),          // Hello cut short
        std::string("\x01\0\0\0\x01\x00", 6),    // Hello with a byte left over
        std::string("\x05\0\0\0\x05/etc", 8),    // a string cut short
        std::string("\x05\xff\xff\xff\xff", 5),  // a string longer than the frame
        std::string("\x02\0\0\0\x01x", 6),       // WriteFile without its content
        std::string("\x07\x00", 2),              // FlushNameCaches with a field
    };
    for (const std::string& payload : cases) {
        EXPECT_FALSE(decode(payload).has_value()) << testing::PrintToString(payload);
    }
}

TEST(Protocol, AnswersAreTellApartFromRequests) {
    EXPECT_FALSE(isAnswer(Kind::Hello));
    EXPECT_FALSE(isAnswer(Kind::TakePort80));
    EXPECT_TRUE(isAnswer(Kind::Granted));
    EXPECT_TRUE(isAnswer(Kind::Listener));
}

}  // namespace
