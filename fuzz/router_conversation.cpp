// The boot loader conversation fed with whatever a router might send: the greeting, the login, a read of
// every variable and a two-partition repair with its read-backs, as flintor-calc --apply runs them. The
// bytes arrive whole and again in small pieces: both must give the same commands and events. The
// commands sent are only USER, PASS, GETENV and SETENV, each one line; the password is never shown; each
// request gets one answer; the capture of what was read reads back as exactly the values read.
//
// The seeds in corpus/router_conversation/ are router-sim's side of such conversations, byte for byte, in
// each of its reply shapes and faults.

#include "AsciiText.h"
#include "BootLoaderConversation.h"
#include "FuzzSupport.h"
#include "RouterEnvironment.h"
#include "RouterRecord.h"
#include "RouterSession.h"

#include <algorithm>
#include <vector>

namespace {

using flintor::BootLoaderConversation;
using flintor::ConversationEvent;
using Kind = flintor::ConversationEventKind;

constexpr std::string_view kPassword = "fuzz-Password-7";

struct Request {
    std::string name;                               // GETENV of name, unless bounds
    std::optional<flintor::PartitionBounds> bounds; // SETENV
};

const std::vector<Request> kScript = [] {
    std::vector<Request> script;
    for (const std::string_view name : flintor::kRouterVariables)
        script.push_back({std::string(name), std::nullopt});
    for (const flintor::PartitionBounds& bounds : {flintor::PartitionBounds{1, 0x90020090u, 0x900A0000u},
                                                   flintor::PartitionBounds{5, 0x903F0000u, 0x90400000u}}) {
        script.push_back({"mtd" + std::to_string(bounds.number), bounds});
        script.push_back({"mtd" + std::to_string(bounds.number), std::nullopt});
    }
    return script;
}();

struct Run {
    std::string sent;
    std::vector<ConversationEvent> events;
    std::string transcript;
};

// Feeds the bytes in pieces of the given lengths (cycled; 0 means all at once), asking for the next step of
// the script whenever the conversation is ready for it.
Run Converse(std::string_view bytes, const std::vector<std::size_t>& pieces) {
    BootLoaderConversation conversation("the router");
    Run run;
    std::size_t step = 0;
    bool loginAsked = false;
    const auto drive = [&] {
        while (true) {
            while (auto event = conversation.nextEvent())
                run.events.push_back(*event);
            if (conversation.state() == BootLoaderConversation::State::Greeted && !loginAsked) {
                loginAsked = true;
                conversation.login("adam2", kPassword);
            } else if (conversation.state() == BootLoaderConversation::State::Ready &&
                       step < kScript.size()) {
                const Request& request = kScript[step++];
                if (request.bounds)
                    conversation.requestWrite(*request.bounds);
                else
                    conversation.requestValue(request.name);
            } else {
                break;
            }
            run.sent += conversation.takeOutgoing();
        }
        run.sent += conversation.takeOutgoing();
    };
    fuzz::feedInPieces(
        bytes, pieces, [&](std::string_view piece) { conversation.receive(piece); }, drive);
    conversation.connectionClosed();
    drive();
    run.transcript = conversation.transcript();
    return run;
}

bool IsTerminal(const ConversationEvent& event) {
    return event.kind == Kind::Failure || event.kind == Kind::LoginRefused;
}

void CheckCommands(const std::string& sent) {
    std::size_t commands = 0;
    for (std::size_t at = 0; at < sent.size();) {
        const std::size_t end = sent.find("\r\n", at);
        fuzz::check(end != std::string::npos, "a command without CR LF", sent);
        const std::string_view line = std::string_view(sent).substr(at, end - at);
        fuzz::check(line.find_first_of("\r\n") == std::string_view::npos, "a line end inside a command",
                    line);
        const bool allowed = line.rfind("USER ", 0) == 0 || line.rfind("PASS ", 0) == 0 ||
                             line.rfind("GETENV mtd", 0) == 0 || line == "GETENV flashsize" ||
                             line.rfind("SETENV mtd", 0) == 0;
        fuzz::check(allowed, "a command outside USER, PASS, GETENV and SETENV", line);
        ++commands;
        at = end + 2;
    }
    fuzz::check(commands <= kScript.size() + 2, "more commands than asked for", sent);
}

// Events come one per request, in order, and nothing follows the end of the conversation.
flintor::RouterReading CheckEvents(const Run& run, std::string_view bytes) {
    flintor::RouterReading reading;
    std::size_t step = 0;
    for (std::size_t i = 0; i < run.events.size(); ++i) {
        const ConversationEvent& event = run.events[i];
        fuzz::check(!IsTerminal(event) || i + 1 == run.events.size(), "an event after the end", bytes);
        fuzz::check((event.kind == Kind::Banner) == (i == 0 && event.kind == Kind::Banner), "a late greeting",
                    bytes);
        // A value read is the router's bytes as they came; everything else is shown escaped.
        for (const std::string* text : {event.kind == Kind::ValueRead ? &event.reply : &event.value,
                                        &event.reply, &event.message, &event.name})
            fuzz::check(std::none_of(text->begin(), text->end(),
                                     [](char c) {
                                         return (static_cast<unsigned char>(c) < 0x20 && c != '\t' &&
                                                 c != '\n') ||
                                                c == 0x7F;
                                     }),
                        "a control character in an event", *text);
        switch (event.kind) {
        case Kind::Banner:
            reading.banner = event.value;
            break;
        case Kind::ValueRead:
        case Kind::ValueUnset:
        case Kind::WriteAccepted:
        case Kind::WriteRefused: {
            fuzz::check(step < kScript.size(), "an answer to nothing", bytes);
            const Request& request = kScript[step++];
            fuzz::check(event.name == request.name, "an answer for another variable", event.name);
            fuzz::check(request.bounds.has_value() ==
                            (event.kind == Kind::WriteAccepted || event.kind == Kind::WriteRefused),
                        "a write answered as a read or the other way round", bytes);
            fuzz::check((event.kind == Kind::ValueRead) == !event.value.empty(), "a read value that is empty",
                        bytes);
            fuzz::check(event.value.size() <= flintor::kLongestReplyLine, "a value longer than a line",
                        bytes);
            if (step <= flintor::kRouterVariables.size())
                reading.values.push_back(
                    {event.name, event.kind == Kind::ValueRead ? std::optional(event.value) : std::nullopt});
            break;
        }
        default:
            break;
        }
    }
    return reading;
}

// The capture of a reading reads as exactly the values read, the greeting's boot loader name included:
// a value that is no exact address range as unreadable, not as missing or as another range.
void CheckCapture(const flintor::RouterReading& reading) {
    std::vector<flintor::PartitionBounds> expected;
    std::vector<int> unreadable;
    for (const auto& variable : reading.values) {
        if (variable.value && variable.name.rfind("mtd", 0) == 0) {
            const int number = variable.name[3] - '0';
            if (const auto bounds = flintor::ParsePartitionValue(number, *variable.value))
                expected.push_back(*bounds);
            else
                unreadable.push_back(number);
        }
    }
    const std::string capture = flintor::CaptureText(reading);
    const auto read = flintor::ReadRouterEnvironment(capture, false);
    fuzz::check(read.environment.has_value(), "a capture of a reading refused", capture);
    if (!read.environment)
        return;
    fuzz::check(read.environment->partitions == expected, "the capture reads other partitions", capture);
    std::vector<int> readUnreadable;
    for (const auto& value : read.environment->unreadable)
        readUnreadable.push_back(value.number);
    fuzz::check(readUnreadable == unreadable, "the capture reads other unreadable values", capture);
    const auto record =
        flintor::ReadRouterEnvironment(flintor::RecordText(reading, flintor::RouterAddress{"127.0.0.1", 2121},
                                                           std::chrono::system_clock::time_point{}),
                                       false);
    fuzz::check(record.environment && record.environment->partitions == expected &&
                    record.environment->unreadable == read.environment->unreadable &&
                    record.environment->flashSize == read.environment->flashSize &&
                    record.environment->markedAdam2 == read.environment->markedAdam2,
                "the record reads otherwise than the capture", capture);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Run whole = Converse(bytes, {0});
    CheckCommands(whole.sent);
    const flintor::RouterReading reading = CheckEvents(whole, bytes);
    CheckCapture(reading);
    // Unless the router's bytes spell it, as they come or as shown (an escape's digits and the text after
    // it).
    if (bytes.find(kPassword) == std::string_view::npos &&
        flintor::Escaped(bytes).find(kPassword) == std::string::npos) {
        fuzz::check(whole.transcript.find(kPassword) == std::string::npos, "the password in the transcript",
                    bytes);
        for (const auto& event : whole.events)
            fuzz::check((event.value + event.reply + event.message).find(kPassword) == std::string::npos,
                        "the password in an event", bytes);
    }
    fuzz::check(whole.transcript.size() <= flintor::kLongestTranscript + 64,
                "the transcript grew past its limit", bytes);

    // The same bytes in small pieces: the conversation does not depend on how they arrive.
    if (size < flintor::kMostUnaskedText) {
        const Run pieces = Converse(bytes, {1, 3, 2, 7, 5, 64});
        fuzz::check(pieces.sent == whole.sent, "the commands depend on how the bytes arrived", bytes);
        fuzz::check(pieces.events.size() == whole.events.size(), "the events depend on how the bytes arrived",
                    bytes);
        for (std::size_t i = 0; i < whole.events.size(); ++i)
            fuzz::check(pieces.events[i].kind == whole.events[i].kind &&
                            pieces.events[i].value == whole.events[i].value &&
                            pieces.events[i].reply == whole.events[i].reply,
                        "an event depends on how the bytes arrived", bytes);
    }
    return 0;
}
