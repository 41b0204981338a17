#include "RouterAddress.h"

#include <gtest/gtest.h>

namespace flintor {
namespace {

TEST(RouterAddress, ReadsHostAndPort) {
    const struct {
        const char* text;
        std::optional<RouterAddress> address;
        const char* shown;
    } cases[] = {
        {"192.168.1.1", RouterAddress{"192.168.1.1", 21}, "192.168.1.1:21"},
        {" 127.0.0.1:2121\t", RouterAddress{"127.0.0.1", 2121}, "127.0.0.1:2121"},
        {"router.lan:65535", RouterAddress{"router.lan", 65535}, "router.lan:65535"},
        {"[::1]:2121", RouterAddress{"::1", 2121}, "[::1]:2121"},
        {"[::1]", RouterAddress{"::1", 21}, "[::1]:21"},
        {"fe80::1", RouterAddress{"fe80::1", 21}, "[fe80::1]:21"},
        {"", std::nullopt, ""},
        {":21", std::nullopt, ""},
        {"host:", std::nullopt, ""},
        {"host:0", std::nullopt, ""},
        {"host:65536", std::nullopt, ""},
        {"host:21x", std::nullopt, ""},
        {"host:-1", std::nullopt, ""},
        {"[::1", std::nullopt, ""},
        {"[::1]2121", std::nullopt, ""},
        {"[router]:21", std::nullopt, ""},
        {"fe80::1:2121:x", std::nullopt, ""},
        {"two words", std::nullopt, ""},
        {"host/path", std::nullopt, ""},
        {"host\r\nUSER x", std::nullopt, ""},
        // Numbers that some readers take for addresses are asked for in four decimal parts.
        {"127.1", std::nullopt, "four decimal numbers"},
        {"2130706433:2121", std::nullopt, "four decimal numbers"},
        {"0x7f.0.0.1", std::nullopt, "four decimal numbers"},
        {"127.0.0.01", std::nullopt, "four decimal numbers"},
        {"10.0x1.router", RouterAddress{"10.0x1.router", 21}, "10.0x1.router:21"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const RouterAddressParsing parsing = ParseRouterAddress(c.text);
        EXPECT_EQ(parsing.address, c.address);
        EXPECT_EQ(parsing.error.empty(), c.address.has_value());
        if (parsing.address) {
            EXPECT_EQ(parsing.address->text(), c.shown);
        } else {
            EXPECT_NE(parsing.error.find("is no router address"), std::string::npos);
            EXPECT_NE(parsing.error.find(c.shown), std::string::npos) << parsing.error;
        }
    }
}

TEST(RouterAddress, LoopbackOnlyAllowsLoopbackLiteralsAndLocalhost) {
    const struct {
        const char* host;
        bool allowed;
    } cases[] = {
        {"127.0.0.1", true},
        {"127.255.3.4", true},
        {"::1", true},
        {"localhost", true},
        {"LocalHost", true},
        {"192.0.2.1", false},
        {"192.168.1.1", false},
        {"10.0.0.1", false},
        {"0.0.0.0", false},
        {"128.0.0.1", false},
        {"127.1", false},
        {"127.0.0.01", false},
        {"127.0.0.1111", false},
        {"0x7f.0.0.1", false},
        {"::ffff:127.0.0.1", false},
        {"::", false},
        {"fe80::1", false},
        {"router.lan", false},
        {"localhost.lan", false},
        {"127.0.0.1.nip.io", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        const std::string refusal = LoopbackRefusal(RouterAddress{c.host, 2121});
        EXPECT_EQ(refusal.empty(), c.allowed);
        if (!c.allowed) {
            EXPECT_NE(refusal.find("FLINTOR_LOOPBACK_ONLY is set"), std::string::npos);
            EXPECT_NE(refusal.find(RouterAddress{c.host, 2121}.text()), std::string::npos);
        }
    }
}

} // namespace
} // namespace flintor
