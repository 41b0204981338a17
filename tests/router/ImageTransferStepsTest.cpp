// The steps of an image transfer fed with replies alone: no socket, no timing.

#include "BootLoaderConversation.h"

#include <gtest/gtest.h>
#include <vector>

namespace flintor {
namespace {

using Kind = ConversationEventKind;
using State = BootLoaderConversation::State;

BootLoaderConversation AfterLogin() {
    BootLoaderConversation conversation;
    conversation.receive("220 ADAM2 FTP Server ready.\r\n");
    conversation.login("adam2", "adam2");
    conversation.receive("331 Password required for adam2.\r\n230 User adam2 successfully logged in.\r\n");
    conversation.takeOutgoing();
    while (conversation.nextEvent()) {
    }
    return conversation;
}

TEST(ImageTransferSteps, PassivePortIsTheLastTwoNumbersWhateverAddressTheyFollow) {
    const struct {
        const char* reply;
        std::optional<std::uint16_t> port;
    } cases[] = {
        {"227 Entering Passive Mode (127,0,0,1,156,64).", 40000},
        {"227 Entering Passive Mode (192,0,2,1,4,1)", 1025},
        {"227 Entering Passive Mode v2 (10,0,0,138,255,255).", 65535},
        {"227 Entering Passive Mode 10,0,0,1,0,21", 21},
        {"227 ( 127, 0, 0, 1, 1, 0 ).", 256},
        {"227 (127,0,0,1,0,0).", std::nullopt},
        {"227 (127,0,0,1,256,1).", std::nullopt},
        {"227 (127,0,0,1,0001,2).", std::nullopt},
        {"227 (127,0,0,1,1).", std::nullopt},
        {"227 (127,0,0,1,1,2,3).", std::nullopt},
        {"227 (127,0,0,1,1,2", std::nullopt},
        {"227 (,0,0,1,1,2).", std::nullopt},
        {"227 (-1,0,0,1,1,2).", std::nullopt},
        {"227 10,0,0,1,0,21,5", std::nullopt},
        {"227 Entering Passive Mode", std::nullopt},
        {"200 (127,0,0,1,1,2).", std::nullopt},
        {"2270 (127,0,0,1,1,2).", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PassivePort(c.reply), c.port) << c.reply;
    }
}

TEST(ImageTransferSteps, EachReplyDecidesItsStepAndARefusalStopsTheTransfer) {
    // The replies to TYPE I, MEDIA FLSH and PASV, then those to STOR or RETR.
    const auto R = [](const char* transfer) {
        return "200 Type set to I.\r\n200 FLSH\r\n227 Passive Mode (192,0,2,1,4,1).\r\n" +
               std::string(transfer);
    };
    using enum ConversationEventKind;
    using F = FailureKind;
    // Rows: STOR or RETR; how many of TYPE I, MEDIA FLSH and PASV were accepted; the events after them.
    const struct {
        char command;
        const char* name;
        std::string replies;
        int setUp;
        std::vector<Kind> kinds;
        FailureKind failure = F::None;
    } cases[] = {
        {'S', "written", R("150 Open\r\n226 Done\r\n"), 3, {TransferStarted, TransferDone}},
        {'S',
         "multi-line and preliminary replies",
         "200-Binary\r\n200 I\r\n200 FLSH\r\n227-Passive\r\n227 (127,0,0,1,4,1)\r\n110 Marker\r\n150-Open\r\n"
         "150 Data\r\n150 again\r\n250 Done.\r\n",
         3,
         {TransferStarted, TransferDone}},
        {'S', "STOR refused", R("550 Permission denied.\r\n"), 3, {TransferRefused}},
        {'S', "426 after the data", R("150 Open\r\n426 Closed\r\n"), 3, {TransferStarted, TransferRefused}},
        {'S', "226 before the 150", R("226 Done\r\n"), 3, {Failure}, F::UnexpectedReply},
        {'S', "200 for 226", R("150 Open\r\n200 OK\r\n"), 3, {TransferStarted, Failure}, F::UnexpectedReply},
        {'S', "closed after the data", R("150 Open\r\n"), 3, {TransferStarted, Failure}, F::Closed},
        {'S', "227, no port", "200 I\r\n200 F\r\n227 (127,0,0,1)\r\n", 2, {Failure}, F::UnexpectedReply},
        {'S', "PASV refused", "200 I\r\n200 FLSH\r\n502 Not implemented.\r\n", 2, {CommandRefused}},
        {'S', "TYPE refused", "504 Type not supported.\r\n", 0, {CommandRefused}},
        {'S', "MEDIA half accepted", "200 I\r\n202 Superfluous\r\n", 1, {Failure}, F::UnexpectedReply},
        {'R', "read back", R("150 Open\r\n226 Done\r\n"), 3, {TransferStarted, TransferDone}},
        {'R', "RETR not implemented", R("502 Command not implemented.\r\n"), 3, {TransferUnsupported}},
        {'R', "RETR not understood", R("500 'RETR' not understood.\r\n"), 3, {TransferUnsupported}},
        {'R', "RETR refused", R("550 No such partition.\r\n"), 3, {TransferRefused}},
        {'R', "RETR broken off", R("150 Open\r\n502 Stopped\r\n"), 3, {TransferStarted, TransferRefused}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderConversation conversation = AfterLogin();
        // Everything arrives at once; each reply waits for its request.
        conversation.receive(c.replies);
        conversation.connectionClosed();
        std::vector<Kind> kinds;
        std::optional<std::uint16_t> port;
        std::string expectedSent;
        const auto goesOn = [&kinds] {
            return kinds.empty() || kinds.back() == Kind::SettingAccepted ||
                   kinds.back() == Kind::PassiveOpened;
        };
        for (int step = 0; step < 4 && conversation.state() == State::Ready && goesOn(); ++step) {
            const std::string command =
                step == 0   ? conversation.requestBinaryType()
                : step == 1 ? conversation.requestFlashMedia()
                : step == 2 ? conversation.requestPassive()
                : c.command == 'R'
                    ? (port = conversation.passivePort(), conversation.requestRetrieve())
                    : (port = conversation.passivePort(), conversation.requestStore("image.bin"));
            expectedSent += command + "\r\n";
            while (auto event = conversation.nextEvent()) {
                kinds.push_back(event->kind);
                EXPECT_EQ(event->failure, event->kind == Failure ? c.failure : F::None);
            }
        }
        std::vector<Kind> expected = {SettingAccepted, SettingAccepted, PassiveOpened};
        expected.resize(c.setUp);
        expected.insert(expected.end(), c.kinds.begin(), c.kinds.end());
        EXPECT_EQ(kinds, expected);
        EXPECT_EQ(conversation.takeOutgoing(), expectedSent);
        if (c.setUp == 3) {
            // The port of the 227, never its address; a transfer takes it.
            EXPECT_EQ(port, 1025);
            EXPECT_EQ(conversation.passivePort(), std::nullopt);
        }
    }
}

TEST(ImageTransferSteps, RebootIsTheLastCommand) {
    for (const auto& [reply, kind] : std::vector<std::pair<std::string, Kind>>{
             {"221 Goodbye.\r\n", Kind::Rebooting},
             {"502 Command not implemented.\r\n", Kind::CommandRefused}}) {
        BootLoaderConversation conversation = AfterLogin();
        EXPECT_EQ(conversation.requestReboot(), "REBOOT");
        conversation.receive(reply);
        EXPECT_EQ(conversation.nextEvent()->kind, kind);
        EXPECT_EQ(conversation.state(), kind == Kind::Rebooting ? State::Restarted : State::Ready);
    }
    BootLoaderConversation restarted = AfterLogin();
    restarted.requestReboot();
    restarted.receive("221 Goodbye.\r\n");
    EXPECT_THROW(restarted.requestValue("mtd0"), std::logic_error);
}

TEST(ImageTransferSteps, SendsTheImageToMtd4OnlyAndOnlyInBinaryToTheFlash) {
    BootLoaderConversation conversation = AfterLogin();
    const auto answer = [&conversation](const char* reply) {
        conversation.receive(reply);
        while (conversation.nextEvent()) {
        }
    };
    // Neither ASCII mode nor SDRAM, nor a data port used before.
    EXPECT_THROW(conversation.requestStore("image.bin"), std::logic_error);
    conversation.requestBinaryType();
    answer("200 Type set to I.\r\n");
    conversation.requestPassive();
    answer("227 (127,0,0,1,4,1)\r\n");
    EXPECT_THROW(conversation.requestStore("image.bin"), std::logic_error);
    EXPECT_THROW(conversation.requestRetrieve(), std::logic_error);
    conversation.requestFlashMedia();
    answer("200 Media set to FLSH.\r\n");
    conversation.requestPassive();
    answer("227 (127,0,0,1,4,1)\r\n");
    for (const char* name : {"image.bin\r\nREBOOT", "fw image.bin", "", "mtd2", "MTD4", "../fw.bin",
                             "0123456789012345678901234567890123456789012345678901234567890123x"}) {
        EXPECT_THROW(conversation.requestStore(name), std::invalid_argument) << name;
    }
    EXPECT_EQ(conversation.requestStore("fw-1.2_x+y.bin"), "STOR fw-1.2_x+y.bin mtd4");
    answer("150 Opening\r\n226 Transfer complete.\r\n");
    EXPECT_THROW(conversation.requestRetrieve(), std::logic_error);
    EXPECT_EQ(conversation.takeOutgoing(),
              "TYPE I\r\nPASV\r\nMEDIA FLSH\r\nPASV\r\nSTOR fw-1.2_x+y.bin mtd4\r\n");

    for (const auto& [file, name] : std::vector<std::pair<std::string, std::string>>{
             {"/home/owner/fw image (1).bin", "fw_image__1_.bin"},
             {"C:\\Downloads\\mtd2", "image-mtd2"},
             {"folder/", "image.bin"},
             {std::string(70, 'a') + ".bin", std::string(64, 'a')}}) {
        EXPECT_EQ(ImageNameForStor(file), name);
        EXPECT_TRUE(BootLoaderConversation::IsImageName(ImageNameForStor(file)));
    }
}

} // namespace
} // namespace flintor
