#pragma once

// The one transport to the boot loader: a TCP connection through Asio that waits for the router to come
// up, then carries BootLoaderConversation's commands and replies, each within a deadline. Every call
// blocks its thread; cancel() ends any of them from another thread.

#include "BootLoaderConversation.h"
#include "RouterAddress.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace flintor {

/// How long to wait for what.
struct ConnectionOptions {
    std::chrono::milliseconds wait{60'000};         ///< for the router to answer at all
    std::chrono::milliseconds retryInterval{250};   ///< between the starts of two connection attempts
    std::chrono::milliseconds replyTimeout{10'000}; ///< for each reply, from its command on
    /// Contact loopback addresses only; also on whenever FLINTOR_LOOPBACK_ONLY is set.
    bool loopbackOnly = false;
};

/// Where a conversation with the router stands, for the owner to follow.
struct RouterProgress {
    enum class Stage {
        Waiting,   ///< no answer yet; repeated as the whole seconds left change
        Connected, ///< the router accepted the connection
        LoggedIn,  ///< the login was accepted
        Writing,   ///< a SETENV was sent, with its reply
        ReadBack,  ///< the value after a SETENV was read back
    };
    Stage stage = Stage::Waiting;
    std::string text;                      ///< "waiting for 192.168.1.1:21 ...", "logged in"
    std::chrono::milliseconds waitLeft{0}; ///< Waiting: the time left to wait
};

/// Receives progress on the thread that talks to the router.
using RouterProgressSink = std::function<void(const RouterProgress&)>;

/// A blocking connection to the boot loader's FTP server. Not copyable; one conversation per object.
class RouterConnection {
public:
    explicit RouterConnection(RouterAddress address, ConnectionOptions options = {});
    ~RouterConnection();
    RouterConnection(const RouterConnection&) = delete;
    RouterConnection& operator=(const RouterConnection&) = delete;

    /// Waits for the boot loader (a connection attempt every retryInterval until wait has passed), reads
    /// its greeting and logs in at once: the LoggedIn event, or LoginRefused or Failure. A refused
    /// address (see LoopbackRefusal) fails before anything is resolved or sent. Later calls send nothing
    /// and tell how the first one ended.
    ConversationEvent open(std::string_view user, std::string_view password,
                           const RouterProgressSink& progress = {});
    /// GETENV name on the open connection: ValueRead, ValueUnset or Failure.
    ConversationEvent readValue(std::string_view name);
    /// SETENV of the bounds on the open connection: WriteAccepted, WriteRefused or Failure. sent, when
    /// given, receives the command once it went to the router.
    ConversationEvent writePartition(const PartitionBounds& bounds, std::string* sent = nullptr);

    /// Ends the wait, connection or exchange in progress at once (a Cancelled failure) and every later
    /// one. Callable from any thread while the object lives.
    void cancel();
    /// The router's address.
    const RouterAddress& address() const;
    /// The greeting's lines, joined by LF; empty before the greeting.
    const std::string& banner() const;
    /// The conversation so far as BootLoaderConversation::transcript() has it, with the connection's notes.
    const std::string& transcript() const;
    /// Connection attempts made so far.
    int connectionAttempts() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace flintor
