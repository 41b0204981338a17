#include "ConsoleConversation.h"

#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace flintor {
namespace {

using Kind = ConversationEventKind;
using State = ConsoleConversation::State;
using std::chrono::milliseconds;
using namespace std::string_literals;

const ConsoleConversation::TimePoint kStart{std::chrono::hours(1)};

std::vector<ConversationEvent> Events(ConsoleConversation& conversation) {
    std::vector<ConversationEvent> events;
    while (auto event = conversation.nextEvent()) {
        events.push_back(*event);
    }
    return events;
}

// Feeds the text in pieces of the given length (0: whole).
void Feed(ConsoleConversation& conversation, std::string_view text, std::size_t piece = 0) {
    for (std::size_t at = 0; at < text.size(); at += piece == 0 ? text.size() : piece) {
        conversation.receive(text.substr(at, piece == 0 ? std::string_view::npos : piece));
    }
}

// A conversation at the prompt, what it sent taken.
ConsoleConversation AtPrompt(bool adam2) {
    ConsoleConversation conversation;
    conversation.takeOutgoing(kStart);
    Feed(conversation, adam2 ? "Adam2 boot loader\r\nPress any key to abort OS load\r\n\r\nAdam2_AR7RD > "
                             : "PSPBoot 1.4\r\nPress ESC for monitor... 3\r\n\r\n(psbl) ");
    Feed(conversation, adam2 ? "\r\nAdam2_AR7RD > " : "\r\n(psbl) ");
    conversation.takeOutgoing(kStart);
    Events(conversation);
    return conversation;
}

struct Answered {
    std::vector<ConversationEvent> events;
    std::string sent;
    ConsoleConversation conversation;
};

// Asks with ask, then answers each command sent with the next output; whole, and again in pieces of 1
// and 3 bytes: the events must not depend on how the bytes arrive.
Answered Answer(bool adam2, const std::function<void(ConsoleConversation&)>& ask,
                const std::vector<std::string>& outputs) {
    std::vector<Answered> runs;
    for (const std::size_t piece : {0, 1, 3}) {
        Answered run{{}, {}, AtPrompt(adam2)};
        ask(run.conversation);
        for (const std::string& output : outputs) {
            run.sent += run.conversation.takeOutgoing(kStart);
            Feed(run.conversation, output, piece);
        }
        run.sent += run.conversation.takeOutgoing(kStart);
        run.events = Events(run.conversation);
        runs.push_back(std::move(run));
    }
    for (const auto& run : runs) {
        EXPECT_EQ(run.sent, runs[0].sent);
        EXPECT_EQ(run.events.size(), runs[0].events.size());
        for (std::size_t i = 0; i < std::min(run.events.size(), runs[0].events.size()); ++i) {
            EXPECT_EQ(run.events[i].kind, runs[0].events[i].kind);
            EXPECT_EQ(run.events[i].value, runs[0].events[i].value);
            EXPECT_EQ(run.events[i].message, runs[0].events[i].message);
        }
    }
    return std::move(runs[0]);
}

TEST(ConsoleConversation, ReadsPrintenvUpToThePrompt) {
    const std::string range = "0x90020000,0x903f0000";
    const std::vector<std::string> all = {"mtd0", "mtd1", "flashsize"};
    const struct {
        const char* name;
        bool adam2;
        const char* single; // printenv NAME; otherwise printenv of all
        std::vector<std::string> outputs;
        std::vector<std::string> values; // per name asked; "-" not set
        const char* failure = "";        // part of the Failure's message
    } cases[] = {
        {"echo, PSPBoot",
         false,
         nullptr,
         {"printenv\r\nbootloaderVersion 1.4\r\nmtd0              " + range +
          "\r\nflashsize  0x00400000\r\n(psbl) "},
         {range, "-", "0x00400000"}},
        {"no echo, Adam2, = and tab",
         true,
         nullptr,
         {"mtd1=0x1,0x2\r\nmtd0\t" + range + "  \r\nAdam2_AR7RD > "},
         {range, "0x1,0x2", "-"}},
        {"LF, CR and LF CR line ends",
         false,
         nullptr,
         {"printenv\nmtd0 " + range + "\rmtd1 0x1,0x2\n\r\n\r(psbl) "},
         {range, "0x1,0x2", "-"}},
        {"the prompt inside values",
         false,
         nullptr,
         {"bootprompt  (psbl) \r\nmtd0 " + range + " (psbl)\r\nmtd1 Adam2_AR7RD >\r\n(psbl) "},
         {range + " (psbl)", "Adam2_AR7RD >", "-"}},
        {"raw bytes pass on",
         false,
         nullptr,
         {"mtd0 0x90\xff\x01\0,x\r\n(psbl) "s},
         {"0x90\xff\x01\0,x"s, "-", "-"}},
        {"an identical repeat",
         false,
         nullptr,
         {"mtd0 0x1,0x2\r\nmtd0   0x1,0x2\r\n(psbl) "},
         {"0x1,0x2", "-", "-"}},
        {"a name alone is not set",
         false,
         nullptr,
         {"mtd0\r\nmtd1 0x1,0x2\r\n(psbl) "},
         {"-", "0x1,0x2", "-"}},
        {"two values",
         false,
         nullptr,
         {"mtd1 0x1,0x2\r\nmtd1 0x1,0x3\x1b\r\n(psbl) "},
         {},
         "two values for mtd1 in answer to printenv: \"mtd1 0x1,0x2\" and \"mtd1 0x1,0x3\\x1b\""},
        {"no variable listed",
         false,
         nullptr,
         {"printenv\r\nError: unknown command\r\n(psbl) "},
         {},
         "without listing any variable (it printed \"Error: unknown command\")"},
        {"single form", false, "mtd0", {"printenv mtd0\r\nmtd0  " + range + "\r\n(psbl) "}, {range}},
        {"single form, not set", false, "mtd5", {"printenv mtd5\r\n(psbl) "}, {"-"}},
        {"single form refused",
         true,
         "mtd0",
         {"printenv mtd0\r\nprintenv: too many arguments\r\nAdam2_AR7RD > ",
          "printenv\r\nmtd1 0x1,0x2\r\nmtd0 " + range + "\r\nAdam2_AR7RD > "},
         {range}},
        {"single form answered with the list",
         false,
         "mtd1",
         {"mtd0 " + range + "\r\n(psbl) ", "mtd0 " + range + "\r\n(psbl) "},
         {"-"}},
        {"single form, two values",
         false,
         "mtd0",
         {"mtd0 0x1,0x2\r\nmtd0 0x3,0x4\r\n(psbl) "},
         {},
         "two values for mtd0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> names = c.single ? std::vector<std::string>{c.single} : all;
        const auto answered = Answer(
            c.adam2,
            [&](ConsoleConversation& conversation) {
                c.single ? conversation.requestValue(c.single) : conversation.requestValues(all);
            },
            c.outputs);
        // The single form, and the whole list after it where it was not understood.
        EXPECT_EQ(answered.sent, (c.single ? "printenv " + std::string(c.single) + "\r" : "") +
                                     (!c.single || c.outputs.size() > 1 ? "printenv\r" : ""));
        if (*c.failure) {
            ASSERT_EQ(answered.events.size(), 1u);
            EXPECT_EQ(answered.events[0].failure, FailureKind::NotUnderstood);
            EXPECT_NE(answered.events[0].message.find(c.failure), std::string::npos)
                << answered.events[0].message;
            continue;
        }
        ASSERT_EQ(answered.events.size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(answered.events[i].name, names[i]);
            EXPECT_EQ(answered.events[i].kind, c.values[i] == "-" ? Kind::ValueUnset : Kind::ValueRead);
            EXPECT_EQ(answered.events[i].value, c.values[i] == "-" ? "" : c.values[i]);
        }
        EXPECT_EQ(answered.conversation.state(), State::Ready);
    }
}

TEST(ConsoleConversation, TakesSetenvWithoutOutputForAccepted) {
    const PartitionBounds bounds{1, 0x90020090u, 0x900A0000u};
    const std::string command = "setenv mtd1 0x90020090,0x900A0000";
    const struct {
        std::string output;
        Kind kind;
        std::string reply;
    } cases[] = {
        {command + "\r\n(psbl) ", Kind::WriteAccepted, "(psbl)"},
        {"(psbl) ", Kind::WriteAccepted, "(psbl)"},
        {command + "\r\nUsage: setenv NAME VALUE\r\n(psbl) ", Kind::WriteRefused, "Usage: setenv NAME VALUE"},
        {"setenv mtd1 0x9002009,0x900A0000\r\n(psbl) ", Kind::WriteRefused,
         "setenv mtd1 0x9002009,0x900A0000"},
        {"\x07no room\r\n(psbl) ", Kind::WriteRefused, "\\x07no room"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const auto answered = Answer(
            false, [&](ConsoleConversation& conversation) { conversation.requestWrite(bounds); }, {c.output});
        EXPECT_EQ(answered.sent, command + "\r");
        ASSERT_EQ(answered.events.size(), 1u);
        EXPECT_EQ(answered.events[0].kind, c.kind);
        EXPECT_EQ(answered.events[0].name, "mtd1");
        EXPECT_EQ(answered.events[0].reply, c.reply);
    }
}

TEST(ConsoleConversation, BreaksInWithEscapeAndClearsTheKeysBeforeTheFirstCommand) {
    const struct {
        const char* name;
        std::vector<std::string> boot; // fed in turn while breaking in
        std::vector<ConsoleNotice> notices;
        const char* banner;
        const char* prompt;
    } cases[] = {
        {"PSPBoot",
         {"PSPBoot 1.4\r\nPress ESC for monitor... 3 2", "\r\n\r\n(psbl) "},
         {ConsoleNotice::BootLoaderSeen},
         "PSPBoot 1.4\nPress ESC for monitor... 3 2\n(psbl)",
         "(psbl)"},
        {"Adam2",
         {"Adam2 boot loader\r\nPress any key to abort OS load, or wait 3 seconds\r\n\r\nAdam2_AR7RD > "},
         {ConsoleNotice::BootLoaderSeen},
         "Adam2 boot loader\nPress any key to abort OS load, or wait 3 seconds\nAdam2_AR7RD >",
         "Adam2_AR7RD >"},
        {"noise before the banner",
         {"\xff\x00\xfe\x1b[x\r\n\x80garbage\n"s, "PSPBoot 1.4\r\n(psbl) \x1b\x1b"},
         {ConsoleNotice::BootLoaderSeen},
         "PSPBoot 1.4\n(psbl)",
         "(psbl)"},
        {"already at its prompt", {"\r\n(psbl) "}, {}, "(psbl)", "(psbl)"},
        {"firmware booted, then the next power-on",
         {"PSPBoot 1.4\r\nPress ESC for monitor... 3 2 1\r\n",
          "Linux version 2.4.17\r\nKernel command line: x\r\nVFS: Mounted root\r\n",
          "PSPBoot 1.4\r\n\r\n(psbl) "},
         {ConsoleNotice::BootLoaderSeen, ConsoleNotice::FirmwareBooted, ConsoleNotice::BootLoaderSeen},
         "PSPBoot 1.4\n(psbl)",
         "(psbl)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleConversation conversation;
        std::string sent;
        auto now = kStart;
        for (const std::string& text : c.boot) {
            sent += conversation.takeOutgoing(now);
            Feed(conversation, text);
            now += milliseconds(30);
        }
        EXPECT_EQ(conversation.state(), State::Clearing);
        sent += conversation.takeOutgoing(now);
        // Enter, ESC every 50 ms until the prompt, then one Enter and nothing more.
        const std::size_t escapes = (c.boot.size() + 1) / 2;
        EXPECT_EQ(sent, "\r" + std::string(escapes, '\x1b') + "\r");
        EXPECT_FALSE(conversation.wakeTime());
        std::vector<ConsoleNotice> notices;
        while (auto notice = conversation.nextNotice()) {
            notices.push_back(*notice);
        }
        EXPECT_EQ(notices, c.notices);
        EXPECT_TRUE(Events(conversation).empty());
        // The keys pressed to break in come back as a line the boot loader does not know.
        Feed(conversation, std::string("\x1b\x1b\r\nUnknown command\r\n") + c.prompt + " ");
        const auto events = Events(conversation);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, Kind::Banner);
        EXPECT_EQ(events[0].value, c.banner);
        EXPECT_EQ(events[0].reply, c.prompt);
        EXPECT_EQ(conversation.state(), State::Ready);
        EXPECT_TRUE(conversation.takeOutgoing(now + std::chrono::seconds(1)).empty());
    }

    // An ESC at least every 100 ms, whenever the caller asks, and no more than that asks for.
    ConsoleConversation waiting;
    EXPECT_EQ(waiting.takeOutgoing(kStart), "\r\x1b");
    EXPECT_LE(*waiting.wakeTime(), kStart + milliseconds(100));
    EXPECT_EQ(waiting.takeOutgoing(kStart + milliseconds(1)), "");
    EXPECT_EQ(waiting.takeOutgoing(kStart + milliseconds(100)), "\x1b");
    EXPECT_EQ(waiting.takeOutgoing(kStart + milliseconds(101)), "");
    EXPECT_LE(*waiting.wakeTime(), kStart + milliseconds(200));
}

TEST(ConsoleConversation, EndsOnLongLinesFloodsHangUpsAndUnaskedOutput) {
    const std::string longest(kLongestReplyLine, 'x');
    const struct {
        const char* name;
        bool atPrompt; // otherwise still breaking in
        bool read;     // printenv asked
        std::string bytes;
        bool hangUp;
        FailureKind failure;
    } cases[] = {
        {"longest line", true, true, "mtd0 " + longest.substr(5) + "\r\n(psbl) ", false, FailureKind::None},
        {"one byte more", true, true, longest + "x\r\n", false, FailureKind::LineTooLong},
        {"endless line while waiting", false, false, std::string(3 * kLongestReplyLine, 'A'), false,
         FailureKind::LineTooLong},
        {"endless output", true, true,
         [] {
             std::string lines;
             while (lines.size() <= kLongestConsoleOutput) {
                 lines += "text\r\n";
             }
             return lines;
         }(),
         false, FailureKind::TooMuchText},
        {"endless waiting", false, false,
         [] {
             std::string lines;
             while (lines.size() <= kMostWaitingText) {
                 lines += std::string(1000, 'n') + "\r\n";
             }
             return lines;
         }(),
         false, FailureKind::TooMuchText},
        {"hang-up mid-output", true, true, "mtd0 0x1,0x2\r\n", true, FailureKind::Closed},
        {"hang-up while waiting", false, false, "PSPBoot", true, FailureKind::Closed},
        {"harmless text unasked", true, false, "\r\neth0: link up\r\n", false, FailureKind::None},
        {"a value unasked", true, false, "mtd0 0x1,0x2\r\n", false, FailureKind::NotUnderstood},
        {"a prompt unasked", true, false, "\r\n(psbl) ", false, FailureKind::NotUnderstood},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleConversation conversation = c.atPrompt ? AtPrompt(false) : ConsoleConversation();
        if (c.read) {
            conversation.requestValues({"mtd0"});
        }
        conversation.takeOutgoing(kStart);
        Feed(conversation, c.bytes);
        if (c.hangUp) {
            conversation.connectionClosed();
        }
        const auto events = Events(conversation);
        if (c.failure == FailureKind::None) {
            EXPECT_NE(conversation.state(), State::Ended);
            continue;
        }
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].failure, c.failure);
        EXPECT_EQ(conversation.state(), State::Ended);
        // Nothing more is read or sent.
        Feed(conversation, "mtd0 0x1,0x2\r\n(psbl) ");
        EXPECT_FALSE(conversation.nextEvent());
        EXPECT_TRUE(conversation.takeOutgoing(kStart + std::chrono::seconds(1)).empty());
        EXPECT_LE(conversation.transcript().size(), kLongestTranscript + 64);
    }
}

TEST(ConsoleConversation, SendsNoCommandButPrintenvAndSetenv) {
    EXPECT_EQ(ConsoleSetenvCommand({5, 0x903F0000u, 0x90400000u}), "setenv mtd5 0x903F0000,0x90400000");
    ConsoleConversation conversation = AtPrompt(true);
    for (const char* name : {"mtd0\rreboot", "mtd0 x", "", "mtd0;unsetenv"}) {
        EXPECT_THROW(conversation.requestValue(name), std::invalid_argument) << name;
        EXPECT_THROW(conversation.requestValues({"mtd1", name}), std::invalid_argument) << name;
    }
    EXPECT_THROW(conversation.requestValues({}), std::invalid_argument);
    EXPECT_THROW(conversation.requestWrite({6, 0x90000000u, 0x90010000u}), std::invalid_argument);
    EXPECT_TRUE(conversation.takeOutgoing(kStart).empty());
    // Out of turn nothing is sent either, and before the prompt nothing but ESC.
    conversation.requestValue("mtd0");
    EXPECT_THROW(conversation.requestWrite({0, 0x90000000u, 0x90010000u}), std::logic_error);
    EXPECT_EQ(conversation.takeOutgoing(kStart), "printenv mtd0\r");
    ConsoleConversation waiting;
    EXPECT_THROW(waiting.requestValues({"mtd0"}), std::logic_error);
    EXPECT_EQ(waiting.takeOutgoing(kStart), "\r\x1b");
}

} // namespace
} // namespace flintor
