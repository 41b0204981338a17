// An image written into the image area and read back through RouterConnection, against the simulated boot
// loader on loopback: where the bytes land, and each way a router or its line fails.

#include "LoopbackOnly.h"
#include "RouterConnection.h"
#include "RouterSimulator.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace flintor {
namespace {

using Kind = ConversationEventKind;
using Stage = RouterProgress::Stage;
using std::chrono::milliseconds;

std::vector<std::uint8_t> TestImage() {
    std::vector<std::uint8_t> image(300 * 1024 + 7);
    std::uint32_t state = 2463534242u;
    for (auto& byte : image) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        byte = static_cast<std::uint8_t>(state);
    }
    return image;
}

ConnectionOptions Quick() {
    ConnectionOptions options;
    options.retryInterval = milliseconds(10);
    options.wait = milliseconds(3000);
    options.replyTimeout = milliseconds(2000);
    options.flashReplyTimeout = milliseconds(5000);
    options.dataStallTimeout = milliseconds(2000);
    options.loopbackOnly = true;
    return options;
}

SimulatorSettings Simulated(bool adam2, SimulatorFaults faults = {}) {
    SimulatorSettings settings;
    settings.adam2 = adam2;
    settings.environment = SampleEnvironment(adam2);
    settings.faults = std::move(faults);
    return settings;
}

// Offset and length of the partition a value such as "0x90020000,0x90400000" names.
std::pair<std::size_t, std::size_t> Range(const std::string& value) {
    const std::size_t start = std::stoul(value.substr(0, value.find(',')), nullptr, 16) - FlashBase;
    return {start, std::stoul(value.substr(value.find(',') + 1), nullptr, 16) - FlashBase - start};
}

TEST(ImageTransfer, LandsWhereTheRoutersMtd4PointsAndNowhereElse) {
    ASSERT_TRUE(test::kLoopbackOnly);
    const std::vector<std::uint8_t> image = TestImage();
    using enum ConversationEventKind;
    using F = FailureKind;
    struct Case {
        const char* name;
        SimulatorFaults faults = {};
        Kind write = TransferDone;
        std::optional<Kind> read = TransferDone; // the read back after a write that was done
        FailureKind failure = F::None;           // of the write, or of the read after it
        std::size_t landed = SIZE_MAX;           // bytes of the image in the flash
        bool adam2 = false;
        const char* routerMtd4 = nullptr; // the simulated router's own mtd4, when not the sample's
        milliseconds flashReplyTimeout{5000};
        std::size_t readSize = 0; // asked of the read; 0: the partition's size
    };
    const Case cases[] = {
        {.name = "PSP"},
        {.name = "Adam2", .adam2 = true},
        {.name = "227 naming another address", .faults = {.passiveAddress = "192.0.2.1"}},
        {.name = "flash slower than a reply, within its own time",
         .faults = {.flashTime = milliseconds(800)}},
        {.name = "flash slower than its time",
         .faults = {.flashTime = milliseconds(800)},
         .write = Failure,
         .read = std::nullopt,
         .failure = F::Timeout,
         .flashReplyTimeout = milliseconds(300)},
        {.name = "no RETR", .faults = {.noRetr = true}, .read = TransferUnsupported},
        {.name = "a stuck byte", .faults = {.stuckByte = 1000}, .adam2 = true},
        {.name = "refused STOR",
         .faults = {.refuseStore = true},
         .write = TransferRefused,
         .read = std::nullopt,
         .landed = 0},
        {.name = "line dies during the write",
         .faults = {.dataDiesAfter = 100'000},
         .write = TransferRefused,
         .read = std::nullopt,
         .landed = 100'000},
        {.name = "line dies during the read",
         .faults = {.dataDiesAfter = 1'000'000},
         .read = TransferRefused},
        {.name = "line stalls during the read",
         .faults = {.dataStallsAfter = 1'000'000},
         .read = Failure,
         .failure = F::Timeout},
        {.name = "more than the read asked for",
         .read = Failure,
         .failure = F::TooMuchData,
         .readSize = image.size()},
        {.name = "a wrong mtd4 on the router", .routerMtd4 = "0x90000000,0x903f0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorSettings settings = Simulated(c.adam2, c.faults);
        if (c.routerMtd4 != nullptr) {
            SetVariable(settings.environment, "mtd4", c.routerMtd4);
        }
        RouterSimulator simulator(settings);
        const std::vector<std::uint8_t> before = simulator.flash();
        ConnectionOptions options = Quick();
        options.flashReplyTimeout = c.flashReplyTimeout;
        options.dataStallTimeout = milliseconds(c.faults.dataStallsAfter >= 0 ? 300 : 2000);
        options.replyTimeout = milliseconds(c.faults.flashTime.count() > 0 ? 500 : 2000);
        RouterConnection connection(simulator.address(), options);
        ASSERT_EQ(connection.open("adam2", "adam2").kind, Kind::LoggedIn);

        std::vector<Stage> stages;
        std::uint64_t lastSent = 0;
        const ImageTransferResult written =
            connection.writeImage("fw.bin", image, [&](const RouterProgress& progress) {
                if (stages.empty() || stages.back() != progress.stage) {
                    stages.push_back(progress.stage);
                }
                lastSent = progress.stage == Stage::SendingImage ? progress.bytesDone : lastSent;
            });
        EXPECT_EQ(written.event.kind, c.write) << written.event.message;
        if (c.write == Failure) {
            EXPECT_EQ(written.event.failure, c.failure) << written.event.message;
        }
        EXPECT_EQ(written.imageAreaTouched, c.landed != 0);

        // The flash outside the router's mtd4 is as it was, byte for byte; inside it is erased and holds
        // what landed of the image.
        const auto [start, size] = Range(*simulator.value("mtd4"));
        std::vector<std::uint8_t> expected = before;
        if (c.landed != 0) {
            std::fill_n(expected.begin() + start, size, 0xFF);
            std::copy_n(image.begin(), std::min(c.landed, image.size()), expected.begin() + start);
        }
        if (c.faults.stuckByte >= 0) {
            expected[start + c.faults.stuckByte] ^= 0x01;
        }
        EXPECT_TRUE(simulator.flash() == expected);

        if (written.ok()) {
            EXPECT_EQ(lastSent, image.size());
            EXPECT_EQ(stages, (std::vector<Stage>{Stage::TransferStep, Stage::SendingImage,
                                                  Stage::WritingFlash, Stage::TransferStep}));
        }
        if (!c.read) {
            continue;
        }
        std::vector<std::uint8_t> back;
        const ImageTransferResult read = connection.readImage(
            c.readSize != 0 ? c.readSize : size, [&back](std::span<const std::uint8_t> bytes) {
                back.insert(back.end(), bytes.begin(), bytes.end());
            });
        EXPECT_EQ(read.event.kind, *c.read) << read.event.message;
        if (*c.read == Failure) {
            EXPECT_EQ(read.event.failure, c.failure) << read.event.message;
            EXPECT_LE(back.size(), (c.readSize != 0 ? c.readSize : size) + kImageReadSlack);
        }
        if (read.ok()) {
            EXPECT_TRUE(back ==
                        std::vector<std::uint8_t>(expected.begin() + start, expected.begin() + start + size));
        }
        if (!c.faults.passiveAddress && !c.adam2 && c.read == TransferDone && !c.routerMtd4) {
            EXPECT_EQ(connection.reboot().kind, Kind::Rebooting);
            const std::vector<std::string> commands = simulator.commands();
            EXPECT_EQ(std::vector<std::string>(commands.begin() + 2, commands.end()),
                      (std::vector<std::string>{"TYPE I", "MEDIA FLSH", "PASV", "STOR fw.bin mtd4", "TYPE I",
                                                "MEDIA FLSH", "PASV", "RETR mtd4", "REBOOT"}));
        }
    }
}

TEST(ImageTransfer, CancelWorksUntilTheFirstByteOfTheImage) {
    const std::vector<std::uint8_t> image = TestImage();
    const struct {
        const char* name;
        Stage cancelAt;
        bool fromAnotherThread;
        bool read;
        std::optional<Kind> outcome; // none: a Cancelled failure
    } cases[] = {
        {"after the 150", Stage::TransferStep, false, false, std::nullopt},
        {"at the first byte", Stage::SendingImage, false, false, Kind::TransferDone},
        {"while the flash is written", Stage::WritingFlash, true, false, Kind::TransferDone},
        {"while reading back", Stage::ReadingImage, false, true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouterSimulator simulator(Simulated(false, {.flashTime = milliseconds(300)}));
        const std::vector<std::uint8_t> before = simulator.flash();
        RouterConnection connection(simulator.address(), Quick());
        ASSERT_EQ(connection.open("adam2", "adam2").kind, Kind::LoggedIn);
        if (c.read) {
            ASSERT_TRUE(connection.writeImage("fw.bin", image).ok());
        }
        std::thread canceller;
        bool refused = false;
        const auto progress = [&](const RouterProgress& p) {
            refused = refused || p.stage == Stage::CancelRefused;
            // The STOR's step comes after its 150.
            if (p.stage == c.cancelAt &&
                (p.stage != Stage::TransferStep || p.text.find("STOR") != std::string::npos) &&
                !canceller.joinable()) {
                if (c.fromAnotherThread) {
                    canceller = std::thread([&connection] { connection.cancel(); });
                } else {
                    connection.cancel();
                    canceller = std::thread([] {});
                }
            }
        };
        const ImageTransferResult result = c.read ? connection.readImage(
                                                        4 * 1024 * 1024, [](auto) {}, progress)
                                                  : connection.writeImage("fw.bin", image, progress);
        canceller.join();
        EXPECT_EQ(result.event.kind, c.outcome.value_or(Kind::Failure)) << result.event.message;
        EXPECT_EQ(result.event.failure, c.outcome ? FailureKind::None : FailureKind::Cancelled);
        EXPECT_EQ(refused, c.outcome.has_value());
        EXPECT_EQ(simulator.flash() == before, !c.outcome && !c.read);
    }
}

} // namespace
} // namespace flintor
