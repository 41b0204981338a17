#pragma once

// The conversation with the serial console of an Adam2 or PSP boot loader, as a state machine without any
// input or output of its own: the bytes that arrived go in, the bytes to send and what happened come out.
// The caller passes the time where timing matters (the break-in); the transport (SerialConnection) moves
// the bytes and keeps the deadlines. Its events are those of the FTP conversation, so that one workflow
// can drive either.

#include "BootLoaderConversation.h"
#include "Transcript.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flintor {

/// Longest time between two ESCs while breaking in: both boot loaders offer their monitor for a second
/// or more, and some only to a key that comes during their countdown.
inline constexpr std::chrono::milliseconds kBreakInInterval{50};
/// Most bytes read while waiting for a prompt (noise, banners, firmware boots) before the wait ends.
inline constexpr std::size_t kMostWaitingText = 1024 * 1024;
/// Most bytes a command's output may have before the conversation ends.
inline constexpr std::size_t kLongestConsoleOutput = 64 * 1024;

/// What the console showed while the conversation waits for a prompt; the caller tells the owner.
enum class ConsoleNotice {
    BootLoaderSeen, ///< a boot loader's banner began (the router was switched on)
    FirmwareBooted, ///< the router booted its firmware instead of offering a prompt: the next power-on counts
};

/// The PC tool form of writing a partition at the console (number 0 to 5, std::invalid_argument
/// otherwise): "setenv mtd1 0x90020090,0x900A0000".
std::string ConsoleSetenvCommand(const PartitionBounds& bounds);

/// The console conversation: the break-in after power-on (Enter once, for a console already at its
/// prompt, and ESC until a prompt; then a bare Enter and a fresh prompt, so that the keys pressed to
/// break in are not part of the first command), printenv and
/// setenv. It can send nothing but ESC, Enter, "printenv", "printenv NAME" and "setenv mtdN START,END".
/// Lines end with CR, LF or both; a command's output ends at the prompt, and its echo is no output.
/// Values are passed on as the router gave them; the transcript and messages escape the bytes outside
/// printable ASCII. Framing is strict: a second, different value for a name, or a value or prompt that
/// nothing asked for, ends the conversation as not understood.
class ConsoleConversation {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum class State {
        BreakingIn, ///< pressing ESC until a prompt appears
        Clearing,   ///< a prompt appeared; Enter was sent and a fresh prompt is awaited
        Ready,      ///< at the prompt, nothing unanswered
        Reading,    ///< printenv is unanswered
        Writing,    ///< setenv is unanswered
        Ended,      ///< failed; nothing more is sent or read
    };

    /// peer names the console in messages ("the console on /dev/ttyUSB0").
    explicit ConsoleConversation(std::string peer = "the console");

    /// Takes bytes that arrived from the console; what they mean comes out of nextEvent() and nextNotice().
    /// The prompt is recognised where the bytes given so far end with it: the console waits there.
    void receive(std::string_view bytes);
    /// The console hung up (the line was lost or the adapter unplugged).
    void connectionClosed();
    /// Ends the conversation for a reason found outside it (a timeout, a cancellation); the Failure event.
    ConversationEvent fail(FailureKind kind, const std::string& message);
    /// Adds a note of the transport to the transcript.
    void note(std::string_view text);

    /// printenv, for the variables names in that order: one ValueRead or ValueUnset event each, once the
    /// prompt is back. Needs State::Ready; throws std::invalid_argument for an empty list or a name that
    /// BootLoaderConversation::IsVariableName refuses. Returns the command.
    std::string requestValues(const std::vector<std::string>& names);
    /// printenv NAME, or printenv where that form proved not understood: one ValueRead or ValueUnset.
    std::string requestValue(std::string_view name);
    /// setenv of the bounds in the PC tool form: WriteAccepted (its reply the prompt) when the prompt comes
    /// back with nothing before it, WriteRefused (its reply the first line printed) otherwise.
    std::string requestWrite(const PartitionBounds& bounds);

    /// The bytes to send at time now: ESC when one is due while breaking in, the commands (ending in CR).
    std::string takeOutgoing(TimePoint now);
    /// When takeOutgoing() will next have something to send without anything arriving; none when nothing
    /// is due.
    std::optional<TimePoint> wakeTime() const;
    /// The next event seen, in order; none when there is none yet.
    std::optional<ConversationEvent> nextEvent();
    /// The next notice while waiting for the prompt, in order.
    std::optional<ConsoleNotice> nextNotice();

    State state() const { return m_state; }
    /// A prompt or a command's output is awaited: the transport should read.
    bool awaitingReply() const;
    /// The command awaiting its output; empty while breaking in.
    const std::string& request() const { return m_request; }
    /// The banner of the power-on that led to the prompt (lines joined by LF, escaped), then the prompt.
    const std::string& banner() const { return m_banner; }
    /// The prompt as the console shows it ("(psbl)", "Adam2_AR7RD >"); empty before it appeared.
    const std::string& prompt() const { return m_prompt; }
    /// The single form "printenv NAME" is known not to be understood by this boot loader.
    bool singleFormRefused() const { return m_singleFormRefused; }
    /// Commands sent ("> printenv"), lines received ("< ...", escaped) and notes ("* ..."), LF after each.
    const std::string& transcript() const { return m_transcript.text(); }

    /// The prompt a console line ends its output with ("(psbl)", "Adam2_AR7RD >"), control bytes and
    /// blanks at its end aside; empty when the line is none.
    static std::string PromptOf(std::string_view line);

private:
    struct ValueSeen {
        std::string value;
        std::string line;
    };

    void split(std::string_view bytes);
    void handleLine(const std::string& line);
    void handleWaitingLine(const std::string& line);
    void handleOutputLine(const std::string& line);
    void checkPrompt();
    void promptSeen(const std::string& prompt);
    void finishRead();
    void finishWrite();
    void sendCommand(const std::string& command);
    void announce(ConversationEvent event);
    ConversationEvent end(FailureKind failure, const std::string& message, const std::string& reply = {});
    void record(char direction, std::string_view text);

    std::string m_peer;
    State m_state = State::BreakingIn;
    std::string m_partial;    // bytes of the line whose end has not come
    bool m_lastWasCr = false; // a CR ended the last line: an LF right after it ends nothing
    std::size_t m_waitedBytes = 0;
    std::size_t m_outputBytes = 0;
    std::optional<TimePoint> m_nextEscape;
    bool m_bannerStarted = false;
    bool m_firmwareNoticed = false;
    std::vector<std::string> m_bannerLines;
    std::string m_banner;
    std::string m_prompt;
    std::string m_request;            // the unanswered command as sent, without its CR
    bool m_echoChecked = false;       // the first line of the output was looked at for the echo
    std::vector<std::string> m_names; // the variables of the unanswered printenv
    bool m_single = false;            // it is printenv NAME
    bool m_singleFormRefused = false;
    std::vector<std::optional<ValueSeen>> m_values; // per name
    std::size_t m_valueLines = 0;                   // lines of the output shaped "name value"
    std::vector<std::string> m_otherLines;          // the first lines that are no value of a name asked
    std::size_t m_otherCount = 0;                   // all such lines
    std::string m_variable;                         // the variable of the unanswered setenv
    std::string m_outgoing;
    std::deque<ConversationEvent> m_events;
    std::deque<ConsoleNotice> m_notices;
    Transcript m_transcript;
};

} // namespace flintor
