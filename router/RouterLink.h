#pragma once

// The one narrow way the read and repair workflow talks to a boot loader, whichever link reaches it: the
// FTP server on the network, or the serial console. Each link keeps its own conversation and transport.

#include "RouterConnection.h"
#include "SerialConnection.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace flintor {

/// A link to the boot loader's environment. Its calls block; cancel() may come from any thread.
class RouterLink {
public:
    virtual ~RouterLink() = default;

    /// Waits for the boot loader and readies it for requests (the login over FTP, the break-in on the
    /// console): LoggedIn when ready, or LoginRefused or Failure. Later calls tell how the first ended.
    virtual ConversationEvent open(const RouterProgressSink& progress) = 0;
    /// The variables, in order: a ValueRead or ValueUnset for each, or a single Failure.
    virtual std::vector<ConversationEvent> readValues(const std::vector<std::string>& names) = 0;
    /// One variable, as read back after a write: ValueRead, ValueUnset or Failure.
    virtual ConversationEvent readValue(std::string_view name) = 0;
    /// Sets a partition's bounds: WriteAccepted, WriteRefused or Failure; sent receives the command once
    /// it went out.
    virtual ConversationEvent writePartition(const PartitionBounds& bounds, std::string* sent) = 0;
    /// Ends the wait or exchange in progress at once, and every later one.
    virtual void cancel() = 0;

    /// "at 192.168.1.1:21", "on the console /dev/ttyUSB0": where the boot loader was reached, for
    /// messages ("the router at ...") and the record.
    virtual std::string where() const = 0;
    /// What the boot loader showed before the first request: the FTP greeting, or the console's banner
    /// and prompt. Its boot loader names count as a capture's do.
    virtual const std::string& banner() const = 0;
    /// The conversation so far, for the owner to read; the password masked.
    virtual const std::string& transcript() const = 0;
    /// The FTP connection, for what only the FTP server offers (the image area); nullptr on the console.
    virtual RouterConnection* ftp() { return nullptr; }
    /// The serial connection, for what only the console tells (its device, speed and prompt); nullptr
    /// over FTP.
    virtual const SerialConnection* console() const { return nullptr; }

    /// "the router at 192.168.1.1:21".
    std::string peer() const { return "the router " + where(); }
};

/// The boot loader's FTP server at address, with this login.
std::unique_ptr<RouterLink> MakeFtpLink(RouterAddress address, std::string user, std::string password,
                                        ConnectionOptions options = {});

/// The boot loader's serial console on device.
std::unique_ptr<RouterLink> MakeConsoleLink(std::string device, SerialOptions options = {});

} // namespace flintor
