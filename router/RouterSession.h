#pragma once

// The router workflow that flintor-calc and the window share: read the boot loader's variables, then
// write a repair partition by partition, each read back at once, stopping at the first failure.

#include "RouterComparison.h"
#include "RouterConnection.h"
#include "RouterLink.h"
#include "RouterRecord.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace flintor {

/// The login and the times of a session.
struct RouterSessionOptions {
    std::string user = "adam2";
    std::string password = "adam2"; ///< sent to the router only; never shown, recorded or logged
    ConnectionOptions connection;
};

/// What a read gave, or why it gave nothing.
struct RouterReadResult {
    std::optional<RouterReading> reading; ///< none when the router could not be read
    FailureKind failure = FailureKind::None;
    std::string message; ///< why there is no reading, naming the address; empty with a reading
};

/// One partition of a repair as it went.
struct PartitionWrite {
    std::string name;  ///< "mtd1"
    std::string sent;  ///< "SETENV mtd1,0x90020090,0x900A0000"
    std::string reply; ///< the reply line; empty when none came
    /// The bounds read back; none when not set, not exactly an address range or not read.
    std::optional<PartitionBounds> readBack;
    /// The value read back as the router gave it; none when not set or not read.
    std::optional<std::string> readBackValue;
    bool ok = false; ///< accepted, and read back as calculated
};

/// How a repair went.
struct ApplyResult {
    std::vector<PartitionWrite> writes;      ///< the partitions a SETENV was sent for, in order
    bool ok = false;                         ///< every partition of the repair reads back as calculated
    FailureKind failure = FailureKind::None; ///< the conversation's end that stopped the writes, if any
    bool changedSinceRead = false; ///< nothing was written: the router's values differ from those expected
    bool stoppedOnRequest = false; ///< stopAfterCurrent() ended the writes before the repair was done
    std::string message;           ///< why the writes stopped; empty when ok
};

/// A session with the router's boot loader: one link (its FTP server or its serial console), opened by the
/// first read. Its calls block; cancel() and stopAfterCurrent() may come from any thread while it lives.
class RouterSession {
public:
    /// A session with the FTP server at address.
    explicit RouterSession(RouterAddress address, RouterSessionOptions options = {});
    /// A session over any link (MakeConsoleLink, MakeFtpLink).
    explicit RouterSession(std::unique_ptr<RouterLink> link);
    ~RouterSession();
    RouterSession(const RouterSession&) = delete;
    RouterSession& operator=(const RouterSession&) = delete;

    /// Waits for the boot loader and logs in (first call only), then reads the variables of
    /// kRouterVariables. After a failure the session stays failed.
    RouterReadResult read(const RouterProgressSink& progress = {});

    /// Writes the repair after a successful read() of this session: for each partition, in mtd order,
    /// SETENV and then GETENV to read it back, which must give exactly the two numbers sent. Stops at the
    /// first refusal, failure or read-back that differs; nothing is written after it. With expected (the
    /// reading the owner saw), nothing at all is written when the last read() differs from it. The repair
    /// holds partitions 0, 1, 4 and 5 in rising order (std::invalid_argument otherwise: the boot block and
    /// configuration block are never written); std::logic_error without a successful read().
    ApplyResult apply(const std::vector<PartitionBounds>& repair, const RouterReading* expected = nullptr,
                      const RouterProgressSink& progress = {});

    /// Ends the wait or exchange in progress at once, and every later one.
    void cancel();
    /// Stops as soon as nothing is left half done: a wait or a read ends at once (as cancel()); during
    /// apply() the partition in hand is written and read back, and no further one is begun.
    void stopAfterCurrent();
    /// stopAfterCurrent() was called.
    bool stopRequested() const;
    /// What the last read() gave; none before it, or when it failed.
    const std::optional<RouterReading>& lastReading() const { return m_lastReading; }

    /// The FTP server's address; an empty one for a session over the console.
    const RouterAddress& address() const;
    /// "at 192.168.1.1:21", "on the console /dev/ttyUSB0".
    std::string where() const;
    /// The link the session talks through.
    RouterLink& link();
    /// The user name the session logs in with (FTP).
    const std::string& user() const;
    /// The conversation so far, for the owner to read: commands, replies and notes; the password masked.
    const std::string& transcript() const;

private:
    RouterSessionOptions m_options;
    std::optional<RouterAddress> m_address;
    std::unique_ptr<RouterLink> m_link;
    std::optional<RouterReading> m_lastReading;
    mutable std::mutex m_mutex; // guards the two flags below
    bool m_stopRequested = false;
    bool m_writing = false;
};

/// The repair of a comparison: the calculated bounds of the matched block's partitions that differ, are
/// missing or unreadable, in mtd order. Same and extra partitions are never part of it, nor mtd2 and mtd3.
std::vector<PartitionBounds> RepairPartitions(const RouterComparison& comparison);

/// The boot block (mtd2) or the configuration block (mtd3): the boot loader put them where they are, and
/// no repair moves them.
bool IsFixedBlock(int number);

} // namespace flintor
