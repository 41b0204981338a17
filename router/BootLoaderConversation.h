#pragma once

// The conversation with the FTP server of an Adam2 or PSP boot loader, as a state machine without any
// input or output of its own: the bytes that arrived go in, the bytes to send and what happened come out.
// The transport (RouterConnection) moves the bytes and keeps the time.

#include "Transcript.h"
#include "modMTD.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flintor {

/// Longest line the router may send, line end excluded; a longer one ends the conversation.
inline constexpr std::size_t kLongestReplyLine = 4096;
/// Most text the router may send ahead of what was asked before the conversation ends.
inline constexpr std::size_t kMostUnaskedText = 64 * 1024;

/// What ended a conversation, as far as the caller acts on it.
enum class FailureKind {
    None,
    AddressRefused,  ///< the address is no address, or not a loopback one while only loopback is allowed
    NoAnswer,        ///< nothing answered within the wait
    LoginRefused,    ///< the boot loader refused the user name or the password
    Timeout,         ///< a reply did not come in time
    Closed,          ///< the router closed the connection
    LineTooLong,     ///< a line longer than kLongestReplyLine
    TooMuchText,     ///< more than kMostUnaskedText ahead of the requests
    UnexpectedReply, ///< a reply code that fits no step of the conversation
    Network,         ///< the system reported an error on the connection
    Cancelled,       ///< the caller cancelled
    NotUnderstood,   ///< value lines that fit no request: another name, two values, a value after the reply
    TooMuchData,     ///< a data connection brought more bytes than the partition holds
};

/// What the conversation saw.
enum class ConversationEventKind {
    Banner,        ///< the server greeted (value: the greeting's lines)
    LoggedIn,      ///< USER and PASS were accepted
    LoginRefused,  ///< the login was refused; the conversation has ended
    ValueRead,     ///< GETENV gave a value (name, value)
    ValueUnset,    ///< GETENV gave no value: the variable is not set
    WriteAccepted, ///< SETENV was answered 200
    WriteRefused,  ///< SETENV was answered otherwise
    Failure,       ///< the conversation has ended (failure, message)

    // The steps of an image transfer.

    /// TYPE I or MEDIA FLSH was answered 200.
    SettingAccepted,
    /// PASV was answered 227 with a data port (passivePort()).
    PassiveOpened,
    /// STOR or RETR was answered 150: the data connection carries the bytes now.
    TransferStarted,
    /// STOR or RETR was answered 226 after its data.
    TransferDone,
    /// STOR or RETR was answered 4xx or 5xx, before or after its data.
    TransferRefused,
    /// RETR was answered 500, 502 or 504: the boot loader cannot send a partition.
    TransferUnsupported,
    /// TYPE, MEDIA, PASV or REBOOT was answered 4xx or 5xx.
    CommandRefused,
    /// REBOOT was accepted: the router restarts, and nothing more is sent.
    Rebooting,
};

/// One thing the conversation saw. A value is the router's bytes as they came; every other text from the
/// router has the bytes outside printable ASCII escaped ("\x00") and the password masked.
struct ConversationEvent {
    ConversationEventKind kind = ConversationEventKind::Failure;
    std::string name;  ///< the variable of a value or write event
    std::string value; ///< ValueRead: the value, raw; Banner: the greeting, lines joined by LF
    std::string reply; ///< the reply line that decided ("200 GETENV command successful")
    FailureKind failure = FailureKind::None; ///< Failure and LoginRefused: what happened
    std::string message;                     ///< Failure and LoginRefused: a sentence for the owner
};

/// The SETENV command that sets a partition's bounds (number 0 to 5, std::invalid_argument otherwise):
/// "SETENV mtd1,0x90020090,0x900A0000", the text of the FTP output form without "quote ".
std::string SetenvCommand(const PartitionBounds& bounds);

/// The one partition an image is written to and read from: the image area.
inline constexpr std::string_view kImagePartition = "mtd4";

/// The data port of a reply to PASV, "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2).": p1 * 256 + p2. The
/// address h1..h4 is read as part of the form and never returned: the data connection goes to the control
/// connection's peer, whatever a reply names. None for another code, for anything but six numbers of 0 to
/// 255 (in parentheses, or after the code's text without them) and for port 0.
std::optional<std::uint16_t> PassivePort(std::string_view reply);

/// The name STOR gives the image, made from its file name (without folders): letters, digits and "._+-"
/// kept, anything else '_', at most 64 bytes; "image.bin" for an empty name, "image-" before a partition
/// name.
std::string ImageNameForStor(std::string_view fileName);

/// The conversation with the boot loader's FTP server: the greeting, the login, GETENV and SETENV. The
/// only commands it can send are USER, PASS, GETENV and SETENV; for the image area alone TYPE I, MEDIA
/// FLSH, PASV, STOR and RETR of mtd4; and REBOOT. A password goes to the wire only, never into the
/// transcript or an event, and is masked wherever the router repeats it. Replies are read as RFC 959 has
/// them (multi-line replies; CR LF, a bare LF or a bare CR), and are matched with the requests in order.
/// Framing is strict: a value counts only for the name asked and before that request's final reply; a
/// value line of another variable Flintor reads, or a second, different value for the name asked, ends
/// the conversation as not understood (identical repeats are harmless).
class BootLoaderConversation {
public:
    enum class State {
        AwaitingBanner, ///< connected; the greeting has not come yet
        Greeted,        ///< greeted, not logged in
        LoggingIn,      ///< USER or PASS is unanswered
        Ready,          ///< logged in, nothing unanswered
        Reading,        ///< GETENV is unanswered
        Writing,        ///< SETENV is unanswered
        Ended,          ///< refused or failed; nothing more is sent or read
        SettingType,    ///< TYPE I is unanswered
        SettingMedia,   ///< MEDIA FLSH is unanswered
        Opening,        ///< PASV is unanswered
        Storing,        ///< STOR is unanswered, or its data is under way (after the 150)
        Retrieving,     ///< RETR is unanswered, or its data is under way (after the 150)
        Rebooting,      ///< REBOOT is unanswered
        Restarted,      ///< REBOOT was accepted; nothing more is sent
    };

    /// peer names the router in messages ("the router at 192.168.1.1:21").
    explicit BootLoaderConversation(std::string peer = "the router");

    /// Takes bytes that arrived from the router; what they mean comes out of nextEvent().
    void receive(std::string_view bytes);
    /// The router closed the connection.
    void connectionClosed();
    /// Ends the conversation for a reason found outside it (a timeout, a cancellation); the Failure event.
    ConversationEvent fail(FailureKind kind, const std::string& message);
    /// Adds a note of the transport ("connected after 3 attempts") to the transcript.
    void note(std::string_view text);

    /// Sends USER, then PASS when asked for it. Needs State::Greeted. Returns the command as the
    /// transcript shows it. Throws std::invalid_argument for a login that CanLogIn refuses.
    std::string login(std::string_view user, std::string_view password);
    /// Sends GETENV name. Needs State::Ready; throws std::invalid_argument for a name that
    /// IsVariableName refuses. Returns the command.
    std::string requestValue(std::string_view name);
    /// Sends SETENV mtdN,START,END for the bounds, in the text of the FTP output form. Needs State::Ready;
    /// throws std::invalid_argument, as SetenvCommand does, for a number outside 0 to 5. Returns the command.
    std::string requestWrite(const PartitionBounds& bounds);

    // An image goes to the image area (and comes back) in these steps, each from State::Ready, each
    // throwing std::logic_error out of turn: TYPE I, MEDIA FLSH, PASV, then STOR or RETR of mtd4 alone.

    /// Sends TYPE I, so that the image's bytes go unchanged. Returns the command.
    std::string requestBinaryType();
    /// Sends MEDIA FLSH: STOR and RETR then concern the flash, rather than SDRAM. Returns the command.
    std::string requestFlashMedia();
    /// Sends PASV; a 227 reply with a port gives PassiveOpened and passivePort(). Returns the command.
    std::string requestPassive();
    /// Sends "STOR name mtd4": 150, then the data (the transport's), then 226 once the router has written
    /// its flash. Needs TYPE I and MEDIA FLSH accepted on this conversation and a PASV port that no STOR or
    /// RETR used yet; std::invalid_argument for a name IsImageName refuses. Returns the command.
    std::string requestStore(std::string_view name);
    /// Sends "RETR mtd4", with the same needs as requestStore: 150, the data, 226; or TransferUnsupported.
    std::string requestRetrieve();
    /// Sends REBOOT, the last command of a conversation. Returns the command.
    std::string requestReboot();
    /// The data port of the last PASV until a STOR or RETR takes it.
    std::optional<std::uint16_t> passivePort() const { return m_passivePort; }

    /// The bytes to send now (commands end in CR LF); empty when there are none.
    std::string takeOutgoing();
    /// The next event seen, in order; none when there is none yet.
    std::optional<ConversationEvent> nextEvent();

    /// Where the conversation stands.
    State state() const { return m_state; }
    /// A request is unanswered (or the greeting has not come): the transport should read.
    bool awaitingReply() const;
    /// The command awaiting its reply as the transcript shows it; empty while the greeting is awaited.
    const std::string& request() const { return m_request; }
    /// The greeting's lines, joined by LF; empty before it came.
    const std::string& banner() const { return m_banner; }
    /// Commands sent ("> GETENV mtd0", "> PASS ****"), lines received ("< 200 ...") and notes ("* ..."),
    /// LF after each line.
    const std::string& transcript() const { return m_transcript.text(); }

    /// A variable name GETENV may ask for: 1 to 64 letters, digits and '_'.
    static bool IsVariableName(std::string_view name);
    /// A user name or password that can go in one command: no control characters, at most 256 bytes.
    static bool IsSendableText(std::string_view text);
    /// A login that can be sent: a user name, and both it and the password sendable text.
    static bool CanLogIn(std::string_view user, std::string_view password);
    /// A name STOR may give the image: 1 to 64 letters, digits and "._+-", and no partition name ("mtd2").
    static bool IsImageName(std::string_view name);

private:
    struct Line {
        std::string text;
        enum class Kind { Text, Overflow, Closed } kind = Kind::Text;
    };

    void split(std::string_view bytes);
    void queue(Line line);
    void process();
    void handleLine(const std::string& received);
    void handleReply(int code, const std::string& received, const std::string& line);
    void handleText(std::string_view text, const std::string& line);
    void notUnderstood(const std::string& why);
    std::string masked(std::string text) const;
    std::string shown(std::string_view received) const;
    void handleBannerReply(int code, const std::string& line);
    void handleLoginReply(int code, const std::string& line);
    void handleValueReply(int code, const std::string& line);
    void handleWriteReply(int code, const std::string& line);
    bool transferring() const;
    void handleTransferReply(int code, const std::string& line);
    std::string requestStep(State state, const std::string& command);
    void send(const std::string& command, const std::string& shown);
    void announce(ConversationEvent event);
    ConversationEvent end(ConversationEventKind kind, FailureKind failure, const std::string& message,
                          const std::string& reply = {});
    void record(char direction, std::string_view text);

    std::string m_peer;
    State m_state = State::AwaitingBanner;
    std::string m_partial;                  // bytes of a line whose end has not come
    bool m_afterCr = false;                 // the last line ended with CR: an LF next belongs to it
    bool m_discarding = false;              // a line too long or too much text: bytes are dropped
    std::deque<Line> m_lines;               // whole lines not yet interpreted (waiting for a request)
    std::size_t m_queuedBytes = 0;          // their length
    int m_multiLineCode = 0;                // the code of an unfinished multi-line reply, 0 outside one
    std::vector<std::string> m_bannerLines; // the greeting's lines so far
    std::string m_banner;
    std::string m_user;
    std::string m_pendingPassword; // PASS to send when USER is answered 331
    std::string m_password;        // masked wherever the router repeats it
    bool m_passwordSent = false;
    std::string m_request;              // the unanswered command as the transcript shows it
    std::string m_variable;             // the variable of the unanswered GETENV or SETENV
    std::optional<std::string> m_value; // the value GETENV gave so far
    std::string m_valueLine;            // the line it came on, as shown
    std::string m_outgoing;
    std::deque<ConversationEvent> m_events;
    Transcript m_transcript;
    bool m_binaryType = false;                  // TYPE I was accepted
    bool m_flashMedia = false;                  // MEDIA FLSH was accepted
    std::optional<std::uint16_t> m_passivePort; // from the last 227, until STOR or RETR takes it
    bool m_transferStarted = false;             // the unanswered STOR or RETR got its 150
};

} // namespace flintor
