#include "RouterAddress.h"

#include "AsciiText.h"

#include <algorithm>
#include <asio/ip/address.hpp>
#include <cstdlib>

namespace flintor {

namespace {

constexpr std::size_t kLongestHostName = 253;

bool IsHostCharacter(char c) {
    return IsWordCharacter(c) || c == '.' || c == '-';
}

bool IsIpv6Literal(std::string_view host) {
    std::error_code error;
    asio::ip::make_address_v6(std::string(host), error);
    return !error;
}

// "127.1", "2130706433", "0x7f.1": every dot-separated part a number. The systems' readers take such a
// text for an IPv4 address, each in its own way; no host name looks so (its last part is never a number).
bool LooksLikeANumberAddress(std::string_view host) {
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = host.find('.', start);
        std::string_view part = host.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (part.size() > 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
            part.remove_prefix(2);
            for (const char c : part) {
                if (!IsAsciiDigit(c) && !((Lower(c) >= 'a' && Lower(c) <= 'f'))) {
                    return false;
                }
            }
        } else if (part.empty() || !std::all_of(part.begin(), part.end(), IsAsciiDigit)) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        start = dot + 1;
    }
}

RouterAddressParsing Refused(std::string_view text, const std::string& why) {
    RouterAddressParsing parsing;
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about a sum that starts with a literal.
    parsing.error.reserve(text.size() + why.size() + 32);
    parsing.error += '"';
    parsing.error.append(text).append("\" is no router address: ").append(why);
    return parsing;
}

} // namespace

std::string RouterAddress::text() const {
    const std::string shownHost = host.find(':') == std::string::npos ? host : "[" + host + "]";
    return shownHost + ":" + std::to_string(port);
}

RouterAddressParsing ParseRouterAddress(std::string_view text) {
    text = Trimmed(text);
    if (text.empty()) {
        return Refused(text, "it is empty.");
    }
    RouterAddress address;
    std::string_view host = text;
    std::optional<std::string_view> port;
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return Refused(text, "the \"[\" of an IPv6 address has no \"]\".");
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return Refused(text, "only \":PORT\" may follow the \"]\".");
            }
            port = rest.substr(1);
        }
        if (!IsIpv6Literal(host)) {
            return Refused(text, "the brackets hold no IPv6 address.");
        }
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        if (text.find(':', colon + 1) != std::string_view::npos) {
            // Two colons or more: an IPv6 address, which can only carry a port in brackets.
            if (!IsIpv6Literal(text)) {
                return Refused(text, "it is no IPv6 address (write one with a port as [ADDRESS]:PORT).");
            }
        } else {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
        }
    }
    if (host.find(':') == std::string_view::npos) {
        if (host.empty()) {
            return Refused(text, "it names no host.");
        }
        if (host.size() > kLongestHostName) {
            return Refused(text, "the host name is longer than 253 characters.");
        }
        for (const char c : host) {
            if (!IsHostCharacter(c)) {
                return Refused(text, "a host name holds letters, digits, \".\", \"-\" and \"_\" only.");
            }
        }
        if (LooksLikeANumberAddress(host) && !IsIpLiteral(host)) {
            return Refused(text, "write an IPv4 address as four decimal numbers from 0 to 255 without "
                                 "leading zeros, such as 192.168.1.1 or 127.0.0.1.");
        }
    }
    address.host = std::string(host);
    if (port) {
        unsigned long value = 0;
        bool digits = !port->empty() && port->size() <= 5;
        for (const char c : *port) {
            digits = digits && IsAsciiDigit(c);
            value = value * 10 + static_cast<unsigned long>(c - '0');
        }
        if (!digits || value < 1 || value > 65535) {
            return Refused(text, "the port must be a number from 1 to 65535.");
        }
        address.port = static_cast<std::uint16_t>(value);
    }
    RouterAddressParsing parsing;
    parsing.address = std::move(address);
    return parsing;
}

bool LoopbackOnlyRequested() {
    return std::getenv(kLoopbackOnlyVariable) != nullptr;
}

bool IsIpLiteral(std::string_view host) {
    if (host.find(':') != std::string_view::npos) {
        return IsIpv6Literal(host);
    }
    // Four decimal parts: the systems' own readers also take "127.1" or hexadecimal parts, each system
    // other ones, and an address must mean the same everywhere.
    int parts = 0;
    std::size_t digits = 0;
    char first = '\0';
    for (const char c : host) {
        // No leading zeros either: some readers take them for octal.
        if (IsAsciiDigit(c) && digits < 3 && !(digits == 1 && first == '0')) {
            first = digits == 0 ? c : first;
            ++digits;
        } else if (c == '.' && digits > 0 && parts < 3) {
            ++parts;
            digits = 0;
        } else {
            return false;
        }
    }
    std::error_code error;
    asio::ip::make_address_v4(std::string(host), error);
    return parts == 3 && digits > 0 && !error;
}

bool IsLoopbackLiteral(std::string_view host) {
    if (!IsIpLiteral(host)) {
        return false;
    }
    std::error_code error;
    const asio::ip::address address = asio::ip::make_address(std::string(host), error);
    // An IPv4-mapped 127.0.0.1 is not taken: the rule is kept to the two forms everyone recognises.
    return !error && address.is_loopback();
}

bool IsLocalhostName(std::string_view host) {
    return EqualsIgnoringCase(host, "localhost");
}

std::string LoopbackRefusal(const RouterAddress& address) {
    if (IsLoopbackLiteral(address.host) || IsLocalhostName(address.host)) {
        return {};
    }
    return std::string(kLoopbackOnlyVariable) + " is set, and " + address.text() +
           " is not a loopback address (127.0.0.0/8, ::1 or localhost): it was not contacted.";
}

} // namespace flintor
