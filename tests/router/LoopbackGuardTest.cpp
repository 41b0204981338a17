// The guard that keeps every test on this machine: with FLINTOR_LOOPBACK_ONLY set, another address is
// refused before anything is resolved or sent. The program runs only inside an empty network namespace
// (in-empty-network.sh), so that a guard that failed could still reach nothing.

#include "LoopbackOnly.h"
#include "RouterConnection.h"

#include <gtest/gtest.h>

namespace flintor {
namespace {

TEST(LoopbackGuard, RefusesOtherAddressesBeforeAnyConnectionAttempt) {
    ASSERT_TRUE(test::kLoopbackOnly);
    for (const char* host : {"192.0.2.1", "router.invalid", "::ffff:192.0.2.1"}) {
        SCOPED_TRACE(host);
        ConnectionOptions options;
        options.wait = std::chrono::milliseconds(60'000);
        // The environment variable alone turns the guard on.
        options.loopbackOnly = false;
        RouterConnection connection(RouterAddress{host, 21}, options);
        const ConversationEvent event = connection.open("adam2", "adam2");
        EXPECT_EQ(event.failure, FailureKind::AddressRefused);
        EXPECT_NE(event.message.find(RouterAddress{host, 21}.text()), std::string::npos);
        EXPECT_NE(event.message.find("FLINTOR_LOOPBACK_ONLY"), std::string::npos);
        EXPECT_EQ(connection.connectionAttempts(), 0);
    }
}

} // namespace
} // namespace flintor
