#include "BootLoaderConversation.h"

#include <gtest/gtest.h>
#include <vector>

namespace flintor {
namespace {

using Kind = ConversationEventKind;
using State = BootLoaderConversation::State;

constexpr const char* kPassword = "s3cret-Word";

std::vector<ConversationEvent> Events(BootLoaderConversation& conversation) {
    std::vector<ConversationEvent> events;
    while (auto event = conversation.nextEvent()) {
        events.push_back(*event);
    }
    return events;
}

// A conversation logged in, with what it sent so far taken.
BootLoaderConversation LoggedIn() {
    BootLoaderConversation conversation;
    conversation.receive("220 ADAM2 FTP Server ready.\r\n");
    conversation.login("adam2", kPassword);
    conversation.receive("331 Password required for adam2.\r\n230 User adam2 successfully logged in.\r\n");
    conversation.takeOutgoing();
    Events(conversation);
    return conversation;
}

// Feeds the reply whole, then byte by byte: both must give the same events.
std::vector<ConversationEvent> Answer(std::string_view reply, bool write = false) {
    std::vector<ConversationEvent> results[2];
    for (int bytewise = 0; bytewise < 2; ++bytewise) {
        BootLoaderConversation conversation = LoggedIn();
        if (write) {
            conversation.requestWrite({1, 0x90020090u, 0x900A0000u});
        } else {
            conversation.requestValue("mtd0");
        }
        if (bytewise) {
            for (const char c : reply) {
                conversation.receive(std::string_view(&c, 1));
            }
        } else {
            conversation.receive(reply);
        }
        results[bytewise] = Events(conversation);
    }
    EXPECT_EQ(results[0].size(), results[1].size());
    for (std::size_t i = 0; i < std::min(results[0].size(), results[1].size()); ++i) {
        EXPECT_EQ(results[0][i].kind, results[1][i].kind);
        EXPECT_EQ(results[0][i].value, results[1][i].value);
        EXPECT_EQ(results[0][i].reply, results[1][i].reply);
    }
    return results[0];
}

TEST(BootLoaderConversation, ReadsEveryShapeOfGetenvReply) {
    const std::string range = "0x90020000,0x903f0000";
    const struct {
        const char* name;
        std::string reply;
        Kind kind;
        std::string value;
        const char* decidingReply;
    } cases[] = {
        {"bare line", "mtd0              " + range + "\r\n200 GETENV command successful\r\n", Kind::ValueRead,
         range, "200 GETENV command successful"},
        {"bare LF", "mtd0 " + range + "\n200 GETENV command successful\n", Kind::ValueRead, range,
         "200 GETENV command successful"},
        {"tab and trailing blanks", "  mtd0\t" + range + "  \r\n200 OK\r\n", Kind::ValueRead, range,
         "200 OK"},
        {"equals sign", "MTD0=" + range + "\r\n200 OK\r\n", Kind::ValueRead, range, "200 OK"},
        {"continuation line", "200-mtd0 " + range + "\r\n200 GETENV command successful\r\n", Kind::ValueRead,
         range, "200 GETENV command successful"},
        {"among variables Flintor does not read",
         "200-bootloaderVersion 0.22.06\r\n200-mtd01 0x1,0x2\r\n200-mtd0 " + range +
             "\r\n200-ProductID FLR4-A\r\n200 done\r\n",
         Kind::ValueRead, range, "200 done"},
        {"bare CR", "mtd0 " + range + "\r200 GETENV command successful\r", Kind::ValueRead, range,
         "200 GETENV command successful"},
        {"an identical repeat", "mtd0 " + range + "\r\n200-MTD0=" + range + "\r\n200 OK\r\n", Kind::ValueRead,
         range, "200 OK"},
        {"RFC 959 text lines", "200-Values follow\r\n mtd0 " + range + "\r\n220 not the end\r\n200 end\r\n",
         Kind::ValueRead, range, "200 end"},
        {"on the reply line", "200 mtd0 " + range + "\r\n", Kind::ValueRead, range, ""},
        {"after a preliminary reply", "150 Looking\r\nmtd0 " + range + "\r\n200 OK\r\n", Kind::ValueRead,
         range, "200 OK"},
        {"odd codes are text", "600 x\r\n099 y\r\n2000 z\r\nmtd0 " + range + "\r\n200 OK\r\n",
         Kind::ValueRead, range, "200 OK"},
        {"control bytes stay in the value", std::string("mtd0 0x9\0\x1b[2J\xff", 14) + "\r\n200 OK\r\n",
         Kind::ValueRead, std::string("0x9\0\x1b[2J\xff", 9), "200 OK"},
        {"reply alone", "200 GETENV command successful\r\n", Kind::ValueUnset, "",
         "200 GETENV command successful"},
        {"name alone", "mtd0\r\n200 OK\r\n", Kind::ValueUnset, "", "200 OK"},
        {"a 5xx refusal", "501 Variable not found\r\n", Kind::ValueUnset, "", "501 Variable not found"},
        {"a value and then 550", "mtd0 " + range + "\r\n550 No\r\n", Kind::ValueUnset, "", "550 No"},
        {"a 4xx reply", "421 Service not available\r\n", Kind::Failure, "", "421 Service not available"},
        {"a 3xx reply", "331 Password required\r\n", Kind::Failure, "", "331 Password required"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto events = Answer(c.reply);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, c.kind);
        EXPECT_EQ(events[0].name, "mtd0");
        EXPECT_EQ(events[0].value, c.value);
        if (*c.decidingReply) {
            EXPECT_EQ(events[0].reply, c.decidingReply);
        }
        EXPECT_EQ(events[0].failure,
                  c.kind == Kind::Failure ? FailureKind::UnexpectedReply : FailureKind::None);
    }
}

TEST(BootLoaderConversation, AcceptsOnlyA200ForSetenv) {
    const struct {
        std::string reply;
        Kind kind;
    } cases[] = {
        {"200 SETENV command successful\r\n", Kind::WriteAccepted},
        {"150 Wait\r\nmtd1 0x1,0x2\r\n200-Stored\r\n200 SETENV command successful\r\n", Kind::WriteAccepted},
        {"mtd0 0x1,0x2\r\n200 SETENV command successful\r\n", Kind::Failure},
        {"202 Command not implemented, superfluous\r\n", Kind::WriteRefused},
        {"250 OK\r\n", Kind::WriteRefused},
        {"501 SETENV failed\r\n", Kind::WriteRefused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        const auto events = Answer(c.reply, true);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, c.kind);
        EXPECT_EQ(events[0].name, "mtd1");
    }
}

TEST(BootLoaderConversation, GreetsAndLogsInWithoutShowingThePassword) {
    const struct {
        const char* name;
        std::string greeting;
        std::vector<std::string> loginReplies;
        std::vector<Kind> kinds;
        std::string banner;
        bool passwordSent;
    } cases[] = {
        {"Adam2",
         "220 ADAM2 FTP Server ready.\r\n",
         {"331 Password required\r\n", "230 Logged in\r\n"},
         {Kind::Banner, Kind::LoggedIn},
         "220 ADAM2 FTP Server ready.",
         true},
        {"multi-line greeting",
         "220-Welcome\r\n220-PSPBoot\r\n220 ready\n",
         {"230 No password needed\r\n"},
         {Kind::Banner, Kind::LoggedIn},
         "220-Welcome\n220-PSPBoot\n220 ready",
         false},
        {"delayed greeting",
         "Booting\r\n120 Ready in a moment\r\n220 ready\r\n",
         {"331 Password\r\n", "530 Login incorrect.\r\n"},
         {Kind::Banner, Kind::LoginRefused},
         "220 ready",
         true},
        {"user refused",
         "220 ready\r\n",
         {"530 Not you\r\n"},
         {Kind::Banner, Kind::LoginRefused},
         "220 ready",
         false},
        {"account asked for",
         "220 ready\r\n",
         {"331 Password\r\n", "332 Need account\r\n"},
         {Kind::Banner, Kind::LoginRefused},
         "220 ready",
         true},
        {"busy", "421 Too many users\r\n", {}, {Kind::Failure}, "", false},
        {"refusal that repeats the password",
         "220 ready\r\n",
         {"331 Password\r\n", "530 Login incorrect: password " + std::string(kPassword) + " is wrong\r\n"},
         {Kind::Banner, Kind::LoginRefused},
         "220 ready",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderConversation conversation;
        conversation.receive(c.greeting);
        std::string sent;
        if (conversation.state() == State::Greeted) {
            conversation.login("adam2", kPassword);
            sent = conversation.takeOutgoing();
            for (const auto& reply : c.loginReplies) {
                conversation.receive(reply);
                sent += conversation.takeOutgoing();
            }
        }
        const auto events = Events(conversation);
        ASSERT_EQ(events.size(), c.kinds.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].kind, c.kinds[i]);
            EXPECT_EQ(events[i].message.find(kPassword), std::string::npos);
            EXPECT_EQ(events[i].reply.find(kPassword), std::string::npos);
        }
        EXPECT_EQ(conversation.banner(), c.banner);
        EXPECT_EQ(sent, c.kinds.size() > 1
                            ? std::string("USER adam2\r\n") +
                                  (c.passwordSent ? "PASS " + std::string(kPassword) + "\r\n" : "")
                            : "");
        EXPECT_EQ(conversation.transcript().find(kPassword), std::string::npos);
        if (c.passwordSent) {
            EXPECT_NE(conversation.transcript().find("> PASS ****\n"), std::string::npos);
        }
    }
}

TEST(BootLoaderConversation, EndsAConversationItDoesNotUnderstand) {
    const struct {
        const char* name;
        std::string reply; // to GETENV mtd0
        const char* next;  // then: "read" (GETENV mtd1), "write" (SETENV mtd1) or nothing
        std::vector<Kind> kinds;
        std::vector<const char*> quoted; // lines the message quotes
    } cases[] = {
        {"reply before the value, then a read",
         "200 GETENV command successful\r\nmtd0 0x1,0x2\r\n",
         "read",
         {Kind::ValueUnset, Kind::Failure},
         {"mtd0 0x1,0x2"}},
        {"reply before the value, then a write",
         "200 GETENV command successful\r\nmtd0 0x1,0x2\r\n",
         "write",
         {Kind::ValueUnset, Kind::Failure},
         {"mtd0 0x1,0x2"}},
        {"continuation with another value",
         "200-mtd1 0x3,0x4\r\n200 OK\r\n",
         "",
         {Kind::Failure},
         {"200-mtd1 0x3,0x4"}},
        {"another name on the reply line",
         "200 flashsize 0x400000\r\n",
         "",
         {Kind::Failure},
         {"200 flashsize 0x400000"}},
        {"the old line and the new one",
         "mtd0 0x1,0x2\r\nmtd0 0x3,0x4\r\n200 OK\r\n",
         "",
         {Kind::Failure},
         {"mtd0 0x1,0x2", "mtd0 0x3,0x4"}},
        {"escaped in the message",
         "mtd0 0x1\x1b,0x2\r\n200-mtd0 0x3,0x4\r\n200 OK\r\n",
         "",
         {Kind::Failure},
         {"mtd0 0x1\\x1b,0x2", "200-mtd0 0x3,0x4"}},
        {"unasked text stays ignored",
         "200-Welcome to mtd0\r\nmtd01 0x5,0x6\r\n200 OK\r\n",
         "read",
         {Kind::ValueUnset},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderConversation conversation = LoggedIn();
        conversation.requestValue("mtd0");
        conversation.receive(c.reply);
        auto events = Events(conversation);
        if (std::string_view(c.next) == "read" && conversation.state() == State::Ready) {
            conversation.requestValue("mtd1");
        } else if (std::string_view(c.next) == "write" && conversation.state() == State::Ready) {
            conversation.requestWrite({1, 0x90020090u, 0x900A0000u});
        }
        for (const auto& event : Events(conversation)) {
            events.push_back(event);
        }
        ASSERT_EQ(events.size(), c.kinds.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].kind, c.kinds[i]);
        }
        if (events.back().kind == Kind::Failure) {
            EXPECT_EQ(events.back().failure, FailureKind::NotUnderstood);
            EXPECT_EQ(conversation.state(), State::Ended);
            EXPECT_EQ(events.back().message.find('\x1b'), std::string::npos);
        }
        for (const char* quoted : c.quoted) {
            EXPECT_NE(events.back().message.find('"' + std::string(quoted) + '"'), std::string::npos)
                << events.back().message;
        }
    }
}

TEST(BootLoaderConversation, EndsOnLongLinesFloodsAndCloses) {
    const std::string longest(kLongestReplyLine, 'x');
    const struct {
        const char* name;
        std::string bytes;
        bool close;
        std::vector<Kind> kinds;
        FailureKind failure;
    } cases[] = {
        {"longest line",
         "mtd0 " + longest.substr(5) + "\r\n200 OK\r\n",
         false,
         {Kind::ValueRead},
         FailureKind::None},
        {"one byte more", longest + "x\r\n", false, {Kind::Failure}, FailureKind::LineTooLong},
        {"no line end",
         std::string(3 * kLongestReplyLine, 'A'),
         false,
         {Kind::Failure},
         FailureKind::LineTooLong},
        {"unanswered", "mtd0 0x1,0x2\r\n", true, {Kind::Failure}, FailureKind::Closed},
        {"last line without its end", "mtd0 0x1,0x2\r\n200 OK", true, {Kind::ValueRead}, FailureKind::None},
    };
    // Each whole, and in pieces such as a socket hands over, none of them too long on its own.
    for (const auto& c : cases) {
        for (const std::size_t piece : {c.bytes.size(), kLongestReplyLine / 3}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            BootLoaderConversation conversation = LoggedIn();
            conversation.requestValue("mtd0");
            conversation.takeOutgoing();
            for (std::size_t at = 0; at < c.bytes.size(); at += piece) {
                conversation.receive(c.bytes.substr(at, piece));
            }
            if (c.close) {
                conversation.connectionClosed();
            }
            const auto events = Events(conversation);
            ASSERT_EQ(events.size(), c.kinds.size());
            for (std::size_t i = 0; i < events.size(); ++i) {
                EXPECT_EQ(events[i].kind, c.kinds[i]);
            }
            EXPECT_EQ(events.back().failure, c.failure);
            if (c.failure != FailureKind::None) {
                EXPECT_EQ(conversation.state(), State::Ended);
                // Nothing more is read or sent.
                conversation.receive("200 OK\r\n");
                EXPECT_FALSE(conversation.nextEvent());
                EXPECT_TRUE(conversation.takeOutgoing().empty());
            }
        }
    }
}

TEST(BootLoaderConversation, MatchesRepliesWithRequestsInOrder) {
    // The whole conversation at once, before anything is asked: each reply waits for its request.
    BootLoaderConversation conversation;
    conversation.receive("220 ADAM2 FTP Server ready.\r\n331 Password\r\n230 In\r\nmtd0 0x1,0x2\r\n200 OK\r\n"
                         "200 SETENV command successful\r\nmtd1 0x90020090,0x900a0000\r\n200 OK\r\n");
    EXPECT_EQ(Events(conversation).size(), 1u);
    conversation.login("adam2", kPassword);
    EXPECT_EQ(Events(conversation).back().kind, Kind::LoggedIn);
    EXPECT_EQ(conversation.requestValue("mtd0"), "GETENV mtd0");
    EXPECT_EQ(Events(conversation).back().value, "0x1,0x2");
    EXPECT_EQ(conversation.requestWrite({1, 0x90020090u, 0x900A0000u}), "SETENV mtd1,0x90020090,0x900A0000");
    EXPECT_EQ(Events(conversation).back().kind, Kind::WriteAccepted);
    conversation.requestValue("mtd1");
    EXPECT_EQ(Events(conversation).back().value, "0x90020090,0x900a0000");
    EXPECT_EQ(conversation.takeOutgoing(),
              "USER adam2\r\nPASS " + std::string(kPassword) +
                  "\r\nGETENV mtd0\r\nSETENV mtd1,0x90020090,0x900A0000\r\nGETENV mtd1\r\n");

    // So does the end of the conversation: a flood or a close after a whole reply ends the next request.
    for (const bool close : {false, true}) {
        BootLoaderConversation ending = LoggedIn();
        ending.requestValue("mtd0");
        ending.receive("200 OK\r\n" + std::string(close ? 0 : 2 * kLongestReplyLine, 'A'));
        if (close) {
            ending.connectionClosed();
        }
        EXPECT_EQ(Events(ending).back().kind, Kind::ValueUnset);
        ending.requestValue("mtd1");
        const auto events = Events(ending);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].failure, close ? FailureKind::Closed : FailureKind::LineTooLong);
    }

    // Text that nothing asks for is held up to a limit.
    BootLoaderConversation idle = LoggedIn();
    for (std::size_t lines = 0; lines < kMostUnaskedText / 4; ++lines) {
        idle.receive("200 OK\r\n");
    }
    const auto events = Events(idle);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].failure, FailureKind::TooMuchText);
}

TEST(BootLoaderConversation, SendsNoCommandButUserPassGetenvAndSetenv) {
    // The commands are built from their parts; no text can smuggle another command in.
    BootLoaderConversation greeted;
    greeted.receive("220 ready\r\n");
    for (const auto& [user, password] :
         std::vector<std::pair<std::string, std::string>>{{"adam2\r\nREBOOT", "x"},
                                                          {"adam2", "x\nUNSETENV mtd0"},
                                                          {"", "x"},
                                                          {std::string(257, 'u'), "x"}}) {
        EXPECT_THROW(greeted.login(user, password), std::invalid_argument);
    }
    BootLoaderConversation conversation = LoggedIn();
    for (const char* name : {"mtd0\r\nREBOOT", "mtd0 STOR", "", "mtd0,0x1", "MEDIA\n"}) {
        EXPECT_THROW(conversation.requestValue(name), std::invalid_argument) << name;
    }
    EXPECT_THROW(conversation.requestWrite({6, 0x90000000u, 0x90010000u}), std::invalid_argument);
    EXPECT_THROW(conversation.requestWrite({-1, 0x90000000u, 0x90010000u}), std::invalid_argument);
    EXPECT_TRUE(conversation.takeOutgoing().empty());
    // Out of turn nothing is sent either.
    conversation.requestValue("mtd0");
    EXPECT_THROW(conversation.requestWrite({0, 0x90000000u, 0x90010000u}), std::logic_error);
    EXPECT_EQ(conversation.takeOutgoing(), "GETENV mtd0\r\n");
}

} // namespace
} // namespace flintor
