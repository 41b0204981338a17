// The steps of an image transfer fed with replies alone: no socket, no timing.

#include "BootLoaderConversation.h"

#include <gtest/gtest.h>
#include <vector>

namespace flintor {
namespace {

using Kind = ConversationEventKind;
using State = BootLoaderConversation::State;

BootLoaderConversation LoggedIn() {
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
    const std::string ready = "200 Type set to I.\r\n200 Media set to FLSH.\r\n227 Entering Passive Mode "
                              "(192,0,2,1,4,1).\r\n";
    const struct {
        const char* name;
        bool retrieve;
        std::string replies;
        std::vector<Kind> kinds;
        FailureKind failure;
    } cases[] = {
        {"written",
         false,
         ready + "150 Opening BINARY mode\r\n226 Transfer complete.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferStarted,
          Kind::TransferDone},
         FailureKind::None},
        {"multi-line and preliminary replies",
         false,
         "200-Binary\r\n200 Type set to I.\r\n200 Media set to FLSH.\r\n227-Passive\r\n227 "
         "(127,0,0,1,4,1)\r\n"
         "110 Restart marker\r\n150-Opening\r\n150 data connection\r\n150 again\r\n250 Done.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferStarted,
          Kind::TransferDone},
         FailureKind::None},
        {"STOR refused",
         false,
         ready + "550 Permission denied.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferRefused},
         FailureKind::None},
        {"refused after the data",
         false,
         ready + "150 Opening\r\n426 Connection closed; transfer aborted.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferStarted,
          Kind::TransferRefused},
         FailureKind::None},
        {"226 before the 150",
         false,
         ready + "226 Transfer complete.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::Failure},
         FailureKind::UnexpectedReply},
        {"no 226 but another 2xx",
         false,
         ready + "150 Opening\r\n200 OK\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferStarted,
          Kind::Failure},
         FailureKind::UnexpectedReply},
        {"227 without a port",
         false,
         "200 I\r\n200 FLSH\r\n227 Entering Passive Mode (127,0,0,1)\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::Failure},
         FailureKind::UnexpectedReply},
        {"PASV refused",
         false,
         "200 I\r\n200 FLSH\r\n502 Command not implemented.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::CommandRefused},
         FailureKind::None},
        {"TYPE refused", false, "504 Type not supported.\r\n", {Kind::CommandRefused}, FailureKind::None},
        {"MEDIA half accepted",
         false,
         "200 I\r\n202 Superfluous\r\n",
         {Kind::SettingAccepted, Kind::Failure},
         FailureKind::UnexpectedReply},
        {"closed after the data",
         false,
         ready + "150 Opening\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferStarted,
          Kind::Failure},
         FailureKind::Closed},
        {"read back",
         true,
         ready + "150 Opening\r\n226 Transfer complete.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferStarted,
          Kind::TransferDone},
         FailureKind::None},
        {"RETR not implemented",
         true,
         ready + "502 Command not implemented.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferUnsupported},
         FailureKind::None},
        {"RETR not understood",
         true,
         ready + "500 'RETR': command not understood.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferUnsupported},
         FailureKind::None},
        {"RETR refused",
         true,
         ready + "550 No such partition.\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferRefused},
         FailureKind::None},
        {"RETR broken off",
         true,
         ready + "150 Opening\r\n502 Stopped\r\n",
         {Kind::SettingAccepted, Kind::SettingAccepted, Kind::PassiveOpened, Kind::TransferStarted,
          Kind::TransferRefused},
         FailureKind::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderConversation conversation = LoggedIn();
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
                step == 0    ? conversation.requestBinaryType()
                : step == 1  ? conversation.requestFlashMedia()
                : step == 2  ? conversation.requestPassive()
                : c.retrieve ? (port = conversation.passivePort(), conversation.requestRetrieve())
                             : (port = conversation.passivePort(), conversation.requestStore("image.bin"));
            expectedSent += command + "\r\n";
            while (auto event = conversation.nextEvent()) {
                kinds.push_back(event->kind);
                EXPECT_EQ(event->failure, event->kind == Kind::Failure ? c.failure : FailureKind::None);
            }
        }
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_EQ(conversation.takeOutgoing(), expectedSent);
        if (c.kinds.size() > 3) {
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
        BootLoaderConversation conversation = LoggedIn();
        EXPECT_EQ(conversation.requestReboot(), "REBOOT");
        conversation.receive(reply);
        EXPECT_EQ(conversation.nextEvent()->kind, kind);
        EXPECT_EQ(conversation.state(), kind == Kind::Rebooting ? State::Restarted : State::Ready);
    }
    BootLoaderConversation restarted = LoggedIn();
    restarted.requestReboot();
    restarted.receive("221 Goodbye.\r\n");
    EXPECT_THROW(restarted.requestValue("mtd0"), std::logic_error);
}

TEST(ImageTransferSteps, SendsTheImageToMtd4OnlyAndOnlyInBinaryToTheFlash) {
    BootLoaderConversation conversation = LoggedIn();
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
