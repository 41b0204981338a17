#include "ConsoleConversation.h"

#include "AsciiText.h"
#include "OutputFormat.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace flintor {

namespace {

// Lines of a banner kept; the transcript keeps the rest.
constexpr std::size_t kMostConsoleBannerLines = 32;
// Lines printed instead of values kept for a message.
constexpr std::size_t kMostQuotedLines = 3;
// A prompt is short; a longer line is none, whatever it ends with.
constexpr std::size_t kLongestPromptLine = 256;

// Words that only a booting Linux kernel prints: the router went past its boot loader.
constexpr std::array<std::string_view, 6> kKernelWords = {
    "Linux version",   "Kernel command line", "VFS:", "Freeing unused kernel memory",
    "Starting kernel", "init started"};
// Words of the boot loaders' banners: the router was switched on.
constexpr std::array<std::string_view, 5> kBootLoaderWords = {"pspboot", "psbl", "adam2", "press esc",
                                                              "press any key"};

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool HasKernelWords(std::string_view line) {
    return std::any_of(kKernelWords.begin(), kKernelWords.end(),
                       [line](std::string_view word) { return line.find(word) != std::string_view::npos; });
}

bool HasBootLoaderWords(std::string_view line) {
    return std::any_of(kBootLoaderWords.begin(), kBootLoaderWords.end(),
                       [line](std::string_view word) { return ContainsIgnoringCase(line, word); });
}

struct PrintedVariable {
    std::string_view name;
    std::string_view value; // blanks at its ends aside; empty for a name alone
};

// "mtd0              0x90020000,0x903f0000" or "mtd0=...": printenv's shape of a variable.
std::optional<PrintedVariable> ParsePrintedVariable(std::string_view line) {
    line = Trimmed(line);
    const auto wordEnd = std::find_if_not(line.begin(), line.end(), IsWordCharacter) - line.begin();
    const std::string_view name = line.substr(0, static_cast<std::size_t>(wordEnd));
    if (!BootLoaderConversation::IsVariableName(name)) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(name.size());
    if (!rest.empty() && !IsBlank(rest.front()) && rest.front() != '=') {
        return std::nullopt;
    }
    if (!rest.empty() && rest.front() == '=') {
        rest.remove_prefix(1);
    }
    return PrintedVariable{name, Trimmed(rest)};
}

} // namespace

std::string ConsoleSetenvCommand(const PartitionBounds& bounds) {
    if (bounds.number < 0 || bounds.number > 5) {
        throw std::invalid_argument("no partition 0 to 5");
    }
    // The owner who types it from Flintor's PC tool output sends the same line.
    std::string command =
        FormatPartitionLines(PartitionLine(bounds), static_cast<int>(OutputForm::PcTool), false);
    if (command.rfind("setenv mtd", 0) != 0 || command.find_first_of("\r\n") != std::string::npos) {
        throw std::logic_error("the PC tool output form is no longer one setenv line");
    }
    return command;
}

ConsoleConversation::ConsoleConversation(std::string peer) : m_peer(std::move(peer)) {}

std::string ConsoleConversation::PromptOf(std::string_view line) {
    if (line.size() > kLongestPromptLine) {
        return {};
    }
    // Keys pressed at the prompt may come back as control bytes after it.
    std::string text;
    std::copy_if(line.begin(), line.end(), std::back_inserter(text), [](char c) { return !IsControl(c); });
    const std::string_view prompt = Trimmed(text);
    if (prompt == "(psbl)") {
        return std::string(prompt);
    }
    // "Adam2_AR7RD >", "Adam2 >": a word that begins with Adam2, then '>'.
    if (StartsWithIgnoringCase(prompt, "adam2") && prompt.back() == '>') {
        const std::string_view word = Trimmed(prompt.substr(0, prompt.size() - 1));
        if (word.size() <= 64 && std::all_of(word.begin(), word.end(), IsWordCharacter)) {
            return std::string(prompt);
        }
    }
    return {};
}

bool ConsoleConversation::awaitingReply() const {
    return m_state != State::Ready && m_state != State::Ended;
}

void ConsoleConversation::receive(std::string_view bytes) {
    split(bytes);
    checkPrompt();
}

void ConsoleConversation::connectionClosed() {
    if (m_state == State::Ended) {
        return;
    }
    end(FailureKind::Closed,
        Capitalised(m_peer) + " hung up" +
            (m_state == State::BreakingIn ? std::string(" while Flintor waited for a prompt")
             : m_state == State::Clearing ? std::string(" before its prompt came back")
             : awaitingReply()            ? " before answering " + m_request
                                          : std::string()) +
            ".");
}

ConversationEvent ConsoleConversation::fail(FailureKind kind, const std::string& message) {
    if (m_state == State::Ended) {
        ConversationEvent event;
        event.failure = kind;
        event.message = message;
        return event;
    }
    return end(kind, message);
}

void ConsoleConversation::note(std::string_view text) {
    record('*', text);
}

std::string ConsoleConversation::requestValues(const std::vector<std::string>& names) {
    if (m_state != State::Ready) {
        throw std::logic_error("printenv outside the ready state");
    }
    if (names.empty() || !std::all_of(names.begin(), names.end(), [](const std::string& name) {
            return BootLoaderConversation::IsVariableName(name);
        })) {
        throw std::invalid_argument("no variable names");
    }
    m_names = names;
    m_single = false;
    m_state = State::Reading;
    sendCommand("printenv");
    return m_request;
}

std::string ConsoleConversation::requestValue(std::string_view name) {
    if (m_state != State::Ready) {
        throw std::logic_error("printenv outside the ready state");
    }
    if (!BootLoaderConversation::IsVariableName(name)) {
        throw std::invalid_argument("not a variable name");
    }
    m_names = {std::string(name)};
    m_single = !m_singleFormRefused;
    m_state = State::Reading;
    sendCommand(m_single ? "printenv " + m_names[0] : "printenv");
    return m_request;
}

std::string ConsoleConversation::requestWrite(const PartitionBounds& bounds) {
    if (m_state != State::Ready) {
        throw std::logic_error("setenv outside the ready state");
    }
    const std::string command = ConsoleSetenvCommand(bounds);
    m_variable = "mtd" + std::to_string(bounds.number);
    m_state = State::Writing;
    sendCommand(command);
    return m_request;
}

std::string ConsoleConversation::takeOutgoing(TimePoint now) {
    if (m_state == State::BreakingIn && (!m_nextEscape || now >= *m_nextEscape)) {
        if (!m_nextEscape) {
            // A console left at its prompt (by an earlier session) shows a fresh one for Enter, and for
            // no ESC; a boot loader that is counting down takes Enter for a key as well, or ignores it.
            note("pressing Enter once, then ESC every " + std::to_string(kBreakInInterval.count()) +
                 " ms until a prompt appears");
            m_outgoing += '\r';
        }
        m_outgoing += '\x1b';
        m_nextEscape = now + kBreakInInterval;
    }
    std::string outgoing;
    outgoing.swap(m_outgoing);
    return outgoing;
}

std::optional<ConsoleConversation::TimePoint> ConsoleConversation::wakeTime() const {
    if (m_state != State::BreakingIn) {
        return std::nullopt;
    }
    return m_nextEscape.value_or(TimePoint{});
}

std::optional<ConversationEvent> ConsoleConversation::nextEvent() {
    if (m_events.empty()) {
        return std::nullopt;
    }
    ConversationEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

std::optional<ConsoleNotice> ConsoleConversation::nextNotice() {
    if (m_notices.empty()) {
        return std::nullopt;
    }
    const ConsoleNotice notice = m_notices.front();
    m_notices.pop_front();
    return notice;
}

void ConsoleConversation::split(std::string_view bytes) {
    while (!bytes.empty() && m_state != State::Ended) {
        // An LF right after a CR ends no second line.
        const bool joinedLf = m_lastWasCr && bytes.front() == '\n';
        const std::size_t stop = joinedLf ? 0 : bytes.find_first_of("\r\n");
        const std::string_view piece = bytes.substr(0, stop);
        const std::size_t segment = piece.size() + (stop == std::string_view::npos ? 0 : 1);
        const bool waiting = m_state == State::BreakingIn || m_state == State::Clearing;
        std::size_t& counted = waiting ? m_waitedBytes : m_outputBytes;
        // Whichever limit the bytes reach first ends the conversation, however they were cut on their way.
        const std::size_t lineRoom = kLongestReplyLine - m_partial.size();
        const std::size_t countRoom = (waiting ? kMostWaitingText : kLongestConsoleOutput) - counted;
        if (piece.size() > lineRoom && lineRoom <= countRoom) {
            end(FailureKind::LineTooLong, Capitalised(m_peer) + " sent a line longer than " +
                                              std::to_string(kLongestReplyLine) +
                                              " bytes; the conversation was ended.");
            return;
        }
        if (segment > countRoom) {
            end(FailureKind::TooMuchText,
                waiting
                    ? Capitalised(m_peer) + " sent more than " + std::to_string(kMostWaitingText) +
                          " bytes without a prompt; the wait was ended."
                    : Capitalised(m_peer) + " printed more than " + std::to_string(kLongestConsoleOutput) +
                          " bytes" + (m_request.empty() ? std::string() : " in answer to " + m_request) +
                          "; the conversation was ended.");
            return;
        }
        counted += segment;
        m_partial += piece;
        m_lastWasCr = m_lastWasCr && piece.empty();
        if (stop == std::string_view::npos) {
            return;
        }
        const bool carriageReturn = bytes[stop] == '\r';
        bytes.remove_prefix(stop + 1);
        if (joinedLf) {
            m_lastWasCr = false;
            continue;
        }
        m_lastWasCr = carriageReturn;
        std::string line = std::move(m_partial);
        m_partial.clear();
        handleLine(line);
    }
}

void ConsoleConversation::handleLine(const std::string& line) {
    if (Trimmed(line).empty()) {
        return;
    }
    record('<', Escaped(line));
    switch (m_state) {
    case State::BreakingIn:
        handleWaitingLine(line);
        break;
    case State::Reading:
    case State::Writing:
        handleOutputLine(line);
        break;
    case State::Ready: {
        // What nothing asked for may be harmless text; a variable or a prompt means the output of a
        // command was taken to have ended where it had not.
        const auto value = ParsePrintedVariable(line);
        if ((value && !value->value.empty()) || !PromptOf(line).empty()) {
            end(FailureKind::NotUnderstood, Capitalised(m_peer) + " printed " + QuotedShort(line) +
                                                " when nothing was asked; the conversation was not "
                                                "understood.");
        }
        break;
    }
    default:
        break;
    }
}

void ConsoleConversation::handleWaitingLine(const std::string& line) {
    if (HasKernelWords(line)) {
        if (!m_firmwareNoticed) {
            m_firmwareNoticed = true;
            m_bannerStarted = false;
            m_bannerLines.clear();
            note("the router booted its firmware instead of offering a prompt; the next power-on counts");
            m_notices.push_back(ConsoleNotice::FirmwareBooted);
        }
        return;
    }
    if (const std::string prompt = PromptOf(line); !prompt.empty()) {
        promptSeen(prompt);
        return;
    }
    if (HasBootLoaderWords(line) && !m_bannerStarted) {
        // Whatever came before (noise, an earlier boot) is no part of this banner.
        m_bannerStarted = true;
        m_firmwareNoticed = false;
        m_bannerLines.clear();
        m_notices.push_back(ConsoleNotice::BootLoaderSeen);
    }
    if (m_bannerLines.size() < kMostConsoleBannerLines) {
        m_bannerLines.push_back(Escaped(Trimmed(line)));
    }
}

void ConsoleConversation::handleOutputLine(const std::string& line) {
    if (!m_echoChecked) {
        m_echoChecked = true;
        // The echo of the command is no output of it.
        const std::string_view echo = Trimmed(line);
        if (echo == m_request) {
            return;
        }
    }
    if (m_state == State::Reading) {
        if (const auto value = ParsePrintedVariable(line); value && !value->value.empty()) {
            ++m_valueLines;
            const auto named = std::find(m_names.begin(), m_names.end(), value->name);
            if (named != m_names.end()) {
                auto& seen = m_values[static_cast<std::size_t>(named - m_names.begin())];
                if (seen && seen->value != value->value) {
                    end(FailureKind::NotUnderstood,
                        Capitalised(m_peer) + " printed two values for " + std::string(value->name) +
                            " in answer to " + m_request + ": " + QuotedShort(seen->line) + " and " +
                            QuotedShort(line) + "; the conversation was not understood.");
                    return;
                }
                seen = ValueSeen{std::string(value->value), line};
                return;
            }
            if (!m_single) {
                return; // the list's other variables
            }
        } else if (value && std::find(m_names.begin(), m_names.end(), value->name) != m_names.end()) {
            return; // a name alone: not set
        }
    }
    if (m_otherLines.size() < kMostQuotedLines) {
        m_otherLines.push_back(line);
    }
    ++m_otherCount;
}

void ConsoleConversation::checkPrompt() {
    if (m_state == State::Ended || m_partial.empty()) {
        return;
    }
    const std::string prompt = PromptOf(m_partial);
    if (prompt.empty() || (m_state != State::BreakingIn && prompt != m_prompt)) {
        return;
    }
    record('<', Escaped(m_partial));
    m_partial.clear();
    switch (m_state) {
    case State::BreakingIn:
        promptSeen(prompt);
        break;
    case State::Clearing: {
        m_state = State::Ready;
        m_request.clear();
        for (const auto& line : m_bannerLines) {
            m_banner += line + "\n";
        }
        m_banner += m_prompt;
        ConversationEvent event;
        event.kind = ConversationEventKind::Banner;
        event.value = m_banner;
        event.reply = m_prompt;
        announce(std::move(event));
        break;
    }
    case State::Reading:
        finishRead();
        break;
    case State::Writing:
        finishWrite();
        break;
    case State::Ready:
        end(FailureKind::NotUnderstood, Capitalised(m_peer) + " showed its prompt again when nothing was "
                                                              "asked; the conversation was not understood.");
        break;
    default:
        break;
    }
}

void ConsoleConversation::promptSeen(const std::string& prompt) {
    m_prompt = prompt;
    m_partial.clear();
    m_state = State::Clearing;
    m_outputBytes = 0;
    // The ESCs that broke in, and any sent after, wait on the prompt's line: Enter sends them off as a
    // line of their own, and the prompt that follows is a fresh one.
    note("a prompt appeared; Enter clears the keys pressed to break in");
    m_request = "Enter";
    m_outgoing += '\r';
    record('>', "(Enter)");
}

void ConsoleConversation::finishRead() {
    if (m_single && m_otherCount > 0) {
        m_singleFormRefused = true;
        note("printenv NAME printed " + QuotedShort(m_otherLines.front()) +
             "; the whole list is read instead, now and later");
        m_single = false;
        sendCommand("printenv");
        return;
    }
    if (!m_single && m_valueLines == 0) {
        std::string printed;
        for (const auto& line : m_otherLines) {
            printed += (printed.empty() ? "" : ", ") + QuotedShort(line);
        }
        end(FailureKind::NotUnderstood,
            Capitalised(m_peer) + " answered printenv without listing any variable" +
                (printed.empty() ? std::string() : " (it printed " + printed + ")") +
                "; the conversation was not understood.");
        return;
    }
    m_state = State::Ready;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        ConversationEvent event;
        event.name = m_names[i];
        if (const auto& seen = m_values[i]) {
            event.kind = ConversationEventKind::ValueRead;
            event.value = seen->value;
            event.reply = Escaped(seen->line);
        } else {
            event.kind = ConversationEventKind::ValueUnset;
        }
        announce(std::move(event));
    }
}

void ConsoleConversation::finishWrite() {
    m_state = State::Ready;
    ConversationEvent event;
    event.name = m_variable;
    // setenv prints nothing when it took the value: its answer is the prompt alone.
    event.kind =
        m_otherCount == 0 ? ConversationEventKind::WriteAccepted : ConversationEventKind::WriteRefused;
    event.reply = m_otherCount == 0 ? m_prompt : Escaped(m_otherLines.front());
    announce(std::move(event));
}

void ConsoleConversation::sendCommand(const std::string& command) {
    if (!m_partial.empty()) {
        // Text that came after the prompt without a line end would otherwise start the command's output.
        record('<', Escaped(m_partial));
        m_partial.clear();
    }
    m_outgoing += command;
    m_outgoing += '\r';
    m_request = command;
    m_echoChecked = false;
    m_values.assign(m_names.size(), std::nullopt);
    m_valueLines = 0;
    m_otherLines.clear();
    m_otherCount = 0;
    m_outputBytes = 0;
    record('>', command);
}

void ConsoleConversation::announce(ConversationEvent event) {
    m_events.push_back(std::move(event));
}

ConversationEvent ConsoleConversation::end(FailureKind failure, const std::string& message,
                                           const std::string& reply) {
    ConversationEvent event;
    if (m_state == State::Writing) {
        event.name = m_variable;
    } else if (m_state == State::Reading && m_single) {
        event.name = m_names.front();
    }
    m_state = State::Ended;
    m_partial.clear();
    m_outgoing.clear();
    record('*', message);
    event.kind = ConversationEventKind::Failure;
    event.reply = reply;
    event.failure = failure;
    event.message = message;
    announce(event);
    return event;
}

void ConsoleConversation::record(char direction, std::string_view text) {
    m_transcript.add(direction, text);
}

} // namespace flintor
