// The steps of an image transfer fed with whatever a router might answer, after a login: TYPE I,
// MEDIA FLSH, PASV, STOR of the image, then TYPE I, MEDIA FLSH, PASV, RETR of mtd4, then REBOOT, each
// asked only while the one before went well, as RouterConnection asks them. The first line goes to the
// 227 parser on its own as well. The bytes arrive whole and again in small pieces: both must give the
// same commands and events. The commands sent are those steps alone, STOR and RETR name mtd4 alone and
// come only after a 227 that gave a port; a port is never 0; nothing follows the end of the conversation.
//
// The seeds in corpus/router_transfer/ are router-sim's side of such conversations, in its faults.

#include "BootLoaderConversation.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <vector>

namespace {

using flintor::BootLoaderConversation;
using flintor::ConversationEvent;
using Kind = flintor::ConversationEventKind;

enum class Step { Type, Media, Passive, Store, Retrieve, Reboot };
constexpr Step kScript[] = {Step::Type,  Step::Media,   Step::Passive,  Step::Store, Step::Type,
                            Step::Media, Step::Passive, Step::Retrieve, Step::Reboot};

struct Run {
    std::string sent;
    std::vector<ConversationEvent> events;
};

bool GoesOn(const ConversationEvent& event) {
    return event.kind == Kind::SettingAccepted || event.kind == Kind::PassiveOpened ||
           event.kind == Kind::TransferDone || event.kind == Kind::TransferUnsupported;
}

Run Converse(std::string_view bytes, const std::vector<std::size_t>& pieces) {
    BootLoaderConversation conversation("the router");
    conversation.receive("220 ADAM2 FTP Server ready.\r\n");
    conversation.login("adam2", "adam2");
    conversation.receive("331 Password required.\r\n230 Logged in.\r\n");
    conversation.takeOutgoing();
    while (conversation.nextEvent()) {
    }
    Run run;
    std::size_t step = 0;
    bool stopped = false;
    const auto drive = [&] {
        while (true) {
            while (auto event = conversation.nextEvent()) {
                stopped = stopped || (event->kind != Kind::TransferStarted && !GoesOn(*event));
                if (event->kind == Kind::PassiveOpened) {
                    fuzz::check(conversation.passivePort() == flintor::PassivePort(event->reply) &&
                                    conversation.passivePort().value_or(0) != 0,
                                "a data port that is not the 227's", event->reply);
                }
                run.events.push_back(*event);
            }
            if (stopped || conversation.state() != BootLoaderConversation::State::Ready ||
                step == std::size(kScript)) {
                break;
            }
            switch (kScript[step++]) {
            case Step::Type:
                conversation.requestBinaryType();
                break;
            case Step::Media:
                conversation.requestFlashMedia();
                break;
            case Step::Passive:
                conversation.requestPassive();
                break;
            case Step::Store:
                conversation.requestStore("image.bin");
                break;
            case Step::Retrieve:
                conversation.requestRetrieve();
                break;
            case Step::Reboot:
                conversation.requestReboot();
                break;
            }
            run.sent += conversation.takeOutgoing();
        }
    };
    drive();
    fuzz::feedInPieces(
        bytes, pieces, [&](std::string_view piece) { conversation.receive(piece); }, drive);
    conversation.connectionClosed();
    drive();
    fuzz::check(conversation.takeOutgoing().empty(), "a command sent outside a step", bytes);
    return run;
}

void CheckCommands(const std::string& sent) {
    std::size_t step = 0;
    for (std::size_t at = 0; at < sent.size();) {
        const std::size_t end = sent.find("\r\n", at);
        fuzz::check(end != std::string::npos, "a command without CR LF", sent);
        const std::string_view line = std::string_view(sent).substr(at, end - at);
        fuzz::check(step < std::size(kScript), "more commands than steps", sent);
        const char* expected[] = {"TYPE I",    "MEDIA FLSH", "PASV", "STOR image.bin mtd4",
                                  "RETR mtd4", "REBOOT"};
        fuzz::check(line == expected[static_cast<int>(kScript[step++])], "a command outside the steps", line);
        at = end + 2;
    }
}

void CheckEvents(const Run& run, std::string_view bytes) {
    for (std::size_t i = 0; i < run.events.size(); ++i) {
        const ConversationEvent& event = run.events[i];
        fuzz::check(event.kind != Kind::Failure || i + 1 == run.events.size(), "an event after the end",
                    bytes);
        fuzz::check(event.kind != Kind::TransferDone ||
                        (i > 0 && run.events[i - 1].kind == Kind::TransferStarted),
                    "a transfer done that never started", bytes);
        fuzz::check(event.kind != Kind::TransferStarted ||
                        (i > 0 && run.events[i - 1].kind == Kind::PassiveOpened),
                    "a transfer without a port", bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view first = bytes.substr(0, bytes.find('\n'));
    if (const auto port = flintor::PassivePort(first)) {
        fuzz::check(*port != 0 && first.substr(0, 4) == "227 ", "a port from another reply", first);
    }
    const Run whole = Converse(bytes, {0});
    CheckCommands(whole.sent);
    CheckEvents(whole, bytes);
    if (size < flintor::kMostUnaskedText) {
        const Run pieces = Converse(bytes, {1, 3, 2, 7, 5, 64});
        fuzz::check(pieces.sent == whole.sent, "the commands depend on how the bytes arrived", bytes);
        fuzz::check(pieces.events.size() == whole.events.size(), "the events depend on how the bytes arrived",
                    bytes);
        for (std::size_t i = 0; i < whole.events.size(); ++i)
            fuzz::check(pieces.events[i].kind == whole.events[i].kind &&
                            pieces.events[i].reply == whole.events[i].reply,
                        "an event depends on how the bytes arrived", bytes);
    }
    return 0;
}
