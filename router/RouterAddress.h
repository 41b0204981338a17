#pragma once

// Where the router's boot loader is reached, and the guard that keeps tests and demonstrations on this
// machine.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flintor {

/// The boot loader's FTP port.
inline constexpr std::uint16_t kFtpPort = 21;
/// The environment variable that, when set (to anything), allows loopback addresses only.
inline constexpr const char* kLoopbackOnlyVariable = "FLINTOR_LOOPBACK_ONLY";

/// A host and a TCP port.
struct RouterAddress {
    std::string host; ///< a name, an IPv4 address or an IPv6 address without brackets
    std::uint16_t port = kFtpPort;

    /// "192.168.1.1:21", "[::1]:2121".
    std::string text() const;
    bool operator==(const RouterAddress&) const = default;
};

/// An address read from text, or why it was refused.
struct RouterAddressParsing {
    std::optional<RouterAddress> address;
    std::string error; ///< the refusal message when address is empty
};

/// Reads HOST[:PORT]: a name or IPv4 address with an optional port, an IPv6 address in brackets with an
/// optional port ("[::1]:2121") or without brackets and port; the port defaults to 21.
RouterAddressParsing ParseRouterAddress(std::string_view text);

/// FLINTOR_LOOPBACK_ONLY is set in the environment.
bool LoopbackOnlyRequested();

/// host is a literal IP address: four decimal parts ("192.168.1.1") or an IPv6 address; anything else is
/// a name.
bool IsIpLiteral(std::string_view host);

/// host is a literal loopback address: 127.0.0.0/8 or ::1.
bool IsLoopbackLiteral(std::string_view host);

/// host is "localhost" (in any letter case), a name that is resolved and of whose addresses only the
/// loopback ones are used while only loopback is allowed.
bool IsLocalhostName(std::string_view host);

/// Why the address may not be contacted while only loopback is allowed (any host but a literal loopback
/// address or localhost); empty when it may. Decided from the text alone: nothing is resolved or sent.
std::string LoopbackRefusal(const RouterAddress& address);

} // namespace flintor
