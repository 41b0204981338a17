// The console conversation fed with whatever a serial line might carry: the break-in, a printenv of every
// variable and a two-partition repair with its read-backs (printenv NAME), as a repair over the console
// runs them. The input is the console's side in turns, cut at each byte 0xFE: a console speaks, then waits
// for the PC. Each turn arrives whole and again in small pieces (never cut right after what could end a
// prompt, where a console would be waiting): both must give the same commands and events. The bytes sent
// are an Enter, ESCs alone up to the next Enter, then only printenv, printenv NAME and the two setenv
// lines, each ending with Enter; each request gets its answers; values are whole and bounded; messages and
// the transcript hold no raw control bytes and stay within their limits.
//
// The seeds in corpus/console_conversation/ are a console's side of such conversations as console-sim
// plays them, for both boot loaders and its faults.

#include "ConsoleConversation.h"
#include "FuzzSupport.h"
#include "RouterRecord.h"

#include <algorithm>
#include <vector>

namespace {

using flintor::ConsoleConversation;
using flintor::ConversationEvent;
using Kind = flintor::ConversationEventKind;
using State = ConsoleConversation::State;

const std::vector<std::string> kAll(flintor::kRouterVariables.begin(), flintor::kRouterVariables.end());
const flintor::PartitionBounds kWrites[] = {{1, 0x90020090u, 0x900A0000u}, {5, 0x903F0000u, 0x90400000u}};

struct Run {
    std::string sent;
    std::vector<ConversationEvent> events;
    std::vector<std::size_t> answersExpected; // per request, in order
};

// Whether a turn may be cut before position at: not right after a ')' or '>' and what may follow a prompt.
bool MayCut(std::string_view turn, std::size_t at) {
    while (at > 0) {
        const auto byte = static_cast<unsigned char>(turn[at - 1]);
        if (byte == ' ' || byte == '\t' || byte < 0x20 || byte == 0x7F) {
            --at;
            continue;
        }
        return byte != ')' && byte != '>';
    }
    return true;
}

Run Converse(const std::vector<std::string>& turns, const std::vector<std::size_t>& pieces) {
    ConsoleConversation conversation("the console on a pseudo-terminal");
    Run run;
    std::size_t step = 0;
    auto now = ConsoleConversation::TimePoint{} + std::chrono::hours(1);
    const auto drive = [&] {
        while (auto event = conversation.nextEvent())
            run.events.push_back(*event);
        if (conversation.state() == State::Ready && step < 5) {
            // printenv of all, then for each write: setenv, printenv NAME.
            if (step == 0) {
                conversation.requestValues(kAll);
                run.answersExpected.push_back(kAll.size());
            } else if (step % 2 == 1) {
                conversation.requestWrite(kWrites[step / 2]);
                run.answersExpected.push_back(1);
            } else {
                conversation.requestValue("mtd" + std::to_string(kWrites[step / 2 - 1].number));
                run.answersExpected.push_back(1);
            }
            ++step;
        }
        run.sent += conversation.takeOutgoing(now);
    };
    std::size_t piece = 0;
    for (const std::string& turn : turns) {
        drive();
        for (std::size_t at = 0; at < turn.size();) {
            const std::size_t length = pieces[piece++ % pieces.size()];
            std::size_t end = length == 0 ? turn.size() : std::min(turn.size(), at + length);
            while (end < turn.size() && !MayCut(turn, end))
                ++end;
            conversation.receive(std::string_view(turn).substr(at, end - at));
            at = end;
        }
        now += std::chrono::milliseconds(60);
    }
    drive();
    conversation.connectionClosed();
    drive();
    fuzz::check(conversation.transcript().size() <= flintor::kLongestTranscript + 64,
                "the transcript grew past its limit");
    fuzz::check(conversation.banner().size() <= 33 * (4 * flintor::kLongestReplyLine + 4),
                "a banner too long");
    return run;
}

void CheckSent(const std::string& sent) {
    // The Enter for a console already at its prompt, then the break-in's ESCs until the Enter that clears
    // them.
    fuzz::check(sent.empty() || sent.front() == '\r', "a break-in that does not begin with Enter", sent);
    const std::size_t firstEnter = sent.empty() ? std::string::npos : sent.find('\r', 1);
    const std::string_view escapes =
        sent.empty() ? std::string_view() : std::string_view(sent).substr(1, firstEnter - 1);
    fuzz::check(std::all_of(escapes.begin(), escapes.end(), [](char c) { return c == '\x1b'; }),
                "something but ESC in the break-in", sent);
    if (firstEnter == std::string::npos)
        return;
    std::size_t commands = 0;
    for (std::size_t at = firstEnter + 1; at < sent.size();) {
        const std::size_t end = sent.find('\r', at);
        fuzz::check(end != std::string::npos, "a command without Enter", sent);
        const std::string_view line = std::string_view(sent).substr(at, end - at);
        const bool allowed = line == "printenv" || line == "printenv mtd1" || line == "printenv mtd5" ||
                             line == "setenv mtd1 0x90020090,0x900A0000" ||
                             line == "setenv mtd5 0x903F0000,0x90400000";
        fuzz::check(allowed, "a command outside printenv and the two setenv lines", line);
        ++commands;
        at = end + 1;
    }
    // Each read-back may need the whole list after its single form.
    fuzz::check(commands <= 7, "more commands than asked for", sent);
}

bool HasRawControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || static_cast<unsigned char>(c) >= 0x7F;
    });
}

void CheckEvents(const Run& run) {
    std::size_t request = 0;
    std::size_t answered = 0;
    for (std::size_t i = 0; i < run.events.size(); ++i) {
        const ConversationEvent& event = run.events[i];
        fuzz::check(event.kind != Kind::Failure || i + 1 == run.events.size(), "an event after the end");
        fuzz::check((event.kind == Kind::Banner) == (i == 0 && event.kind == Kind::Banner), "a late banner");
        for (const std::string* text : {&event.reply, &event.message})
            fuzz::check(!HasRawControl(*text), "a raw control byte in a message", *text);
        if (event.kind == Kind::Banner) {
            fuzz::check(!HasRawControl(event.value), "a raw control byte in the banner", event.value);
            continue;
        }
        if (event.kind == Kind::Failure)
            continue;
        fuzz::check(request < run.answersExpected.size(), "an answer to nothing");
        const bool write = event.kind == Kind::WriteAccepted || event.kind == Kind::WriteRefused;
        fuzz::check(write == (request % 2 == 1), "a write answered as a read or the other way round");
        if (request == 0)
            fuzz::check(event.name == kAll[answered], "an answer for another variable", event.name);
        fuzz::check((event.kind == Kind::ValueRead) == !event.value.empty(), "a read value that is empty");
        fuzz::check(event.value.size() <= flintor::kLongestReplyLine, "a value longer than a line");
        fuzz::check(event.value.find_first_of("\r\n") == std::string::npos, "a line end in a value",
                    event.value);
        fuzz::check(event.value.empty() || (event.value.front() != ' ' && event.value.back() != ' '),
                    "a value with blanks at an end", event.value);
        if (++answered == run.answersExpected[request]) {
            answered = 0;
            ++request;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> turns = fuzz::split(data, size, '\xFE');
    const Run whole = Converse(turns, {0});
    CheckSent(whole.sent);
    CheckEvents(whole);

    // The same turns in small pieces: the conversation does not depend on how the bytes arrive.
    if (size < 256 * 1024) {
        const Run pieces = Converse(turns, {1, 3, 2, 7, 5, 64});
        fuzz::check(pieces.sent == whole.sent, "the commands depend on how the bytes arrived");
        fuzz::check(pieces.events.size() == whole.events.size(),
                    "the events depend on how the bytes arrived");
        for (std::size_t i = 0; i < whole.events.size(); ++i)
            fuzz::check(pieces.events[i].kind == whole.events[i].kind &&
                            pieces.events[i].value == whole.events[i].value &&
                            pieces.events[i].message == whole.events[i].message,
                        "an event depends on how the bytes arrived");
    }
    return 0;
}
