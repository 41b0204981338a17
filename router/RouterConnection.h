#pragma once

// The one transport to the boot loader: a TCP connection through Asio that waits for the router to come
// up, then carries BootLoaderConversation's commands and replies, each within a deadline. Every call
// blocks its thread; cancel() ends any of them from another thread.

#include "BootLoaderConversation.h"
#include "RouterAddress.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
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
    /// A data connection on which no byte moves this long fails.
    std::chrono::milliseconds dataStallTimeout{30'000};
    /// For the reply after an image's last byte, while the router erases and programs its flash.
    std::chrono::milliseconds flashReplyTimeout{600'000};
};

/// Bytes a read of the image area may bring beyond the size asked for before it fails.
inline constexpr std::uint64_t kImageReadSlack = 64 * 1024;

/// Where a conversation with the router stands, for the owner to follow.
struct RouterProgress {
    enum class Stage {
        Waiting,   ///< no answer yet; repeated as the whole seconds left change
        Notice,    ///< while waiting, what the console showed: the boot loader starting, the firmware instead
        Connected, ///< the router accepted the connection
        LoggedIn,  ///< the login was accepted
        Writing,   ///< a SETENV was sent, with its reply
        ReadBack,  ///< the value after a SETENV was read back

        // An image transfer.

        /// A step of it was answered ("sent PASV: 227 Entering Passive Mode (...)").
        TransferStep,
        /// Bytes of the image sent (bytesDone of bytesTotal). From the first of these, which comes before
        /// the first byte, until the router's reply, cancel() is refused: mtd4 would be left half written.
        SendingImage,
        /// Every byte was sent; the router is writing its flash and must not be switched off.
        WritingFlash,
        /// Bytes of the image area received (bytesDone of bytesTotal, the size asked for).
        ReadingImage,
        /// cancel() came while the image was being written, and was not followed.
        CancelRefused,
    };
    Stage stage = Stage::Waiting;
    std::string text;                      ///< "waiting for 192.168.1.1:21 ...", "logged in"
    std::chrono::milliseconds waitLeft{0}; ///< Waiting: the time left to wait
    std::uint64_t bytesDone = 0;           ///< SendingImage, ReadingImage: the bytes so far
    std::uint64_t bytesTotal = 0;          ///< SendingImage, ReadingImage: the bytes in all
};

/// How an image went to or from the image area (mtd4).
struct ImageTransferResult {
    /// What decided: TransferDone; CommandRefused, TransferRefused or TransferUnsupported; or Failure.
    ConversationEvent event;
    std::uint64_t bytes = 0; ///< the bytes that went over the data connection
    /// A write only: the router accepted the STOR (150), so mtd4 may no longer hold what it held.
    bool imageAreaTouched = false;
    /// The router answered the STOR or RETR with 150: a refusal after it is a broken transfer.
    bool transferStarted = false;
    bool ok() const { return event.kind == ConversationEventKind::TransferDone; }
};

/// Receives the bytes of a read of the image area, in order, piece by piece.
using ImageSink = std::function<void(std::span<const std::uint8_t>)>;

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
    /// Writes the image into the image area on the open connection: TYPE I, MEDIA FLSH, PASV, a data
    /// connection to this connection's peer at the 227 port (whatever address the reply names), "STOR name
    /// mtd4" (name as ImageNameForStor makes it), the bytes streamed from image, the end of the data, and
    /// the 226 within flashReplyTimeout. Stops at the first refusal or failure. std::invalid_argument for an
    /// empty image.
    ImageTransferResult writeImage(std::string_view name, std::span<const std::uint8_t> image,
                                   const RouterProgressSink& progress = {});
    /// Reads the image area back on the open connection (TYPE I, MEDIA FLSH, PASV, RETR mtd4) into sink.
    /// size is mtd4's size: more than size + kImageReadSlack bytes fail (TooMuchData). A boot loader that
    /// cannot send a partition gives TransferUnsupported, which ends nothing.
    ImageTransferResult readImage(std::uint64_t size, const ImageSink& sink,
                                  const RouterProgressSink& progress = {});
    /// Sends REBOOT, the last command: Rebooting, CommandRefused or Failure. The connection is closed after.
    ConversationEvent reboot();

    /// Ends the wait, connection or exchange in progress at once (a Cancelled failure) and every later
    /// one. Callable from any thread while the object lives. From the first byte of an image until the
    /// router's reply to it the request is refused: a CancelRefused progress event and a transcript note.
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
