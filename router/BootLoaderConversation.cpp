#include "BootLoaderConversation.h"

#include "AsciiText.h"
#include "CaptureWords.h"
#include "OutputFormat.h"

#include <algorithm>
#include <stdexcept>

namespace flintor {

namespace {

// Lines of a multi-line greeting kept for the banner; the transcript keeps the rest.
constexpr std::size_t kMostBannerLines = 32;

// "mtd0    0x90020000,0x903F0000", "MTD0=..." or "200 mtd0 ...": the name and the value after blanks or
// an "="; none for a line without a value.
struct ValueLine {
    std::string_view name;
    std::string_view value;
};

std::optional<ValueLine> ReadValueLine(std::string_view text) {
    text = Trimmed(text);
    std::size_t end = 0;
    while (end < text.size() && IsWordCharacter(text[end])) {
        ++end;
    }
    if (end == 0 || end == text.size() || (!IsBlank(text[end]) && text[end] != '=')) {
        return std::nullopt;
    }
    const std::string_view value = Trimmed(text.substr(text[end] == '=' ? end + 1 : end));
    if (value.empty()) {
        return std::nullopt;
    }
    return ValueLine{text.substr(0, end), value};
}

// A variable that Flintor reads: a line giving it where it was not asked for could be taken for the answer.
bool IsReadVariable(std::string_view name) {
    const CaptureWord word = CaptureWordAt(name, 0);
    return word.length == name.size() &&
           (word.kind == CaptureWord::Partition || word.kind == CaptureWord::FlashSize);
}

// The code of a reply line ("200 ...", "200-...", "200"), 0 for any other line. Codes start with 1 to 5;
// others are text.
int ReplyCode(std::string_view line) {
    if (line.size() < 3 || line[0] < '1' || line[0] > '5') {
        return 0;
    }
    for (std::size_t i = 1; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return 0;
        }
    }
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') {
        return 0;
    }
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

bool IsFinalLine(std::string_view line) {
    return line.size() == 3 || line[3] == ' ';
}

// A shown line in quotes, cut short: a reply line may be 4 KiB long.
std::string Quoted(std::string_view shown) {
    constexpr std::size_t kLongest = 160;
    if (shown.size() <= kLongest) {
        return '"' + std::string(shown) + '"';
    }
    std::size_t cut = kLongest;
    // Not inside an escape ("\xff"), which would then read as other text.
    const std::size_t escape = shown.rfind('\\', cut);
    if (escape != std::string_view::npos && cut - escape < 4) {
        cut = escape;
    }
    return '"' + std::string(shown.substr(0, cut)) + "...\"";
}

} // namespace

BootLoaderConversation::BootLoaderConversation(std::string peer) : m_peer(std::move(peer)) {}

bool BootLoaderConversation::IsVariableName(std::string_view name) {
    if (name.empty() || name.size() > 64) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), IsWordCharacter);
}

bool BootLoaderConversation::IsSendableText(std::string_view text) {
    if (text.size() > 256) {
        return false;
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

bool BootLoaderConversation::CanLogIn(std::string_view user, std::string_view password) {
    return !user.empty() && IsSendableText(user) && IsSendableText(password);
}

bool BootLoaderConversation::awaitingReply() const {
    switch (m_state) {
    case State::AwaitingBanner:
    case State::LoggingIn:
    case State::Reading:
    case State::Writing:
        return true;
    default:
        return transferring();
    }
}

void BootLoaderConversation::receive(std::string_view bytes) {
    split(bytes);
    process();
}

void BootLoaderConversation::connectionClosed() {
    if (m_state == State::Ended) {
        return;
    }
    // A last reply without its line end still counts.
    if (!m_discarding && !m_partial.empty()) {
        std::string line = std::move(m_partial);
        m_partial.clear();
        queue({std::move(line), Line::Kind::Text});
    }
    m_discarding = true;
    m_lines.push_back({{}, Line::Kind::Closed});
    process();
}

ConversationEvent BootLoaderConversation::fail(FailureKind kind, const std::string& message) {
    if (m_state == State::Ended) {
        ConversationEvent event;
        event.failure = kind;
        event.message = message;
        return event;
    }
    return end(ConversationEventKind::Failure, kind, message);
}

void BootLoaderConversation::note(std::string_view text) {
    record('*', text);
}

std::string BootLoaderConversation::login(std::string_view user, std::string_view password) {
    if (m_state != State::Greeted) {
        throw std::logic_error("login before the greeting or after it was done");
    }
    if (!CanLogIn(user, password)) {
        throw std::invalid_argument("a user name or password that cannot be sent");
    }
    m_user = user;
    m_pendingPassword = password;
    m_password = password;
    // What came before the login is shown masked too.
    m_transcript.rewrite([this](std::string text) { return masked(std::move(text)); });
    m_banner = masked(std::move(m_banner));
    m_passwordSent = false;
    m_state = State::LoggingIn;
    send("USER " + m_user, "USER " + m_user);
    process();
    return m_request;
}

std::string BootLoaderConversation::requestValue(std::string_view name) {
    if (m_state != State::Ready) {
        throw std::logic_error("GETENV outside the ready state");
    }
    if (!IsVariableName(name)) {
        throw std::invalid_argument("not a variable name");
    }
    m_variable = name;
    m_value.reset();
    m_valueLine.clear();
    m_state = State::Reading;
    send("GETENV " + m_variable, "GETENV " + m_variable);
    process();
    return m_request;
}

std::string SetenvCommand(const PartitionBounds& bounds) {
    if (bounds.number < 0 || bounds.number > 5) {
        throw std::invalid_argument("no partition 0 to 5");
    }
    // The owner's FTP client sends the same command after "quote".
    const std::string ftp =
        FormatPartitionLines(PartitionLine(bounds), static_cast<int>(OutputForm::Ftp), false);
    constexpr std::string_view quote = "quote ";
    if (ftp.compare(0, quote.size(), quote) != 0) {
        throw std::logic_error("the FTP output form no longer starts with quote");
    }
    return ftp.substr(quote.size());
}

std::string BootLoaderConversation::requestWrite(const PartitionBounds& bounds) {
    if (m_state != State::Ready) {
        throw std::logic_error("SETENV outside the ready state");
    }
    const std::string command = SetenvCommand(bounds);
    m_variable = "mtd" + std::to_string(bounds.number);
    m_state = State::Writing;
    send(command, command);
    process();
    return m_request;
}

std::string BootLoaderConversation::takeOutgoing() {
    std::string outgoing;
    outgoing.swap(m_outgoing);
    return outgoing;
}

std::optional<ConversationEvent> BootLoaderConversation::nextEvent() {
    if (m_events.empty()) {
        return std::nullopt;
    }
    ConversationEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

void BootLoaderConversation::split(std::string_view bytes) {
    while (!bytes.empty() && !m_discarding) {
        // CR LF ends a line, and so does a bare LF or a bare CR: the LF of a CR LF may come in the next
        // piece.
        if (m_afterCr) {
            m_afterCr = false;
            if (bytes.front() == '\n') {
                bytes.remove_prefix(1);
                continue;
            }
        }
        const std::size_t end = bytes.find_first_of("\r\n");
        const std::string_view piece = bytes.substr(0, end);
        if (m_partial.size() + piece.size() > kLongestReplyLine) {
            m_partial.clear();
            m_discarding = true;
            m_lines.push_back({{}, Line::Kind::Overflow});
            return;
        }
        m_partial += piece;
        if (end == std::string_view::npos) {
            return;
        }
        m_afterCr = bytes[end] == '\r';
        bytes.remove_prefix(end + 1);
        std::string line = std::move(m_partial);
        m_partial.clear();
        queue({std::move(line), Line::Kind::Text});
    }
}

void BootLoaderConversation::queue(Line line) {
    // Only a router that talks past the requests gets here; its text would otherwise grow without end.
    if (m_queuedBytes + line.text.size() + 1 > kMostUnaskedText) {
        end(ConversationEventKind::Failure, FailureKind::TooMuchText,
            Capitalised(m_peer) + " sent more than " + std::to_string(kMostUnaskedText) +
                " bytes that nothing asked for; the conversation was ended.");
        return;
    }
    m_queuedBytes += line.text.size() + 1;
    m_lines.push_back(std::move(line));
}

void BootLoaderConversation::process() {
    // What came waits for the request it answers, the end of the conversation included: the events then
    // do not depend on how the bytes were cut into pieces on their way.
    while (!m_lines.empty() && awaitingReply()) {
        const Line line = std::move(m_lines.front());
        m_lines.pop_front();
        switch (line.kind) {
        case Line::Kind::Text:
            m_queuedBytes -= line.text.size() + 1;
            handleLine(line.text);
            break;
        case Line::Kind::Overflow:
            end(ConversationEventKind::Failure, FailureKind::LineTooLong,
                Capitalised(m_peer) + " sent a line longer than " + std::to_string(kLongestReplyLine) +
                    " bytes; the conversation was ended.");
            break;
        case Line::Kind::Closed:
            end(ConversationEventKind::Failure, FailureKind::Closed,
                Capitalised(m_peer) + " closed the connection" +
                    (m_state == State::AwaitingBanner ? std::string(" before greeting")
                     : awaitingReply()                ? " before answering " + m_request
                                                      : std::string()) +
                    ".");
            break;
        }
    }
}

std::string BootLoaderConversation::masked(std::string text) const {
    for (std::size_t at = text.find(m_password); !m_password.empty() && at != std::string::npos;
         at = text.find(m_password, at + 4)) {
        text.replace(at, m_password.size(), "****");
    }
    return text;
}

std::string BootLoaderConversation::shown(std::string_view received) const {
    // Again after escaping: an escape's digits could complete the password with the text after it.
    return masked(Escaped(masked(std::string(received))));
}

void BootLoaderConversation::handleLine(const std::string& received) {
    // What the owner may see has its odd bytes escaped: they could end a line of a capture early, move the
    // cursor of a terminal or stop a reader at a NUL. The values are read from the bytes as they came.
    const std::string line = shown(received);
    record('<', line);
    const int code = ReplyCode(received);
    if (m_state == State::AwaitingBanner && (code != 0 || m_multiLineCode != 0) &&
        m_bannerLines.size() < kMostBannerLines) {
        m_bannerLines.push_back(line);
    }
    const std::string_view text = received;
    if (m_multiLineCode != 0) {
        if (code == m_multiLineCode && IsFinalLine(received)) {
            m_multiLineCode = 0;
            handleReply(code, received, line);
        } else {
            // Some servers repeat "ddd-" on every line of a multi-line reply.
            handleText(code == m_multiLineCode ? text.substr(4) : text, line);
        }
        return;
    }
    if (code == 0) {
        handleText(text, line);
    } else if (!IsFinalLine(received)) {
        m_multiLineCode = code;
        handleText(text.substr(4), line);
    } else {
        handleReply(code, received, line);
    }
}

void BootLoaderConversation::handleText(std::string_view text, const std::string& line) {
    if (m_state != State::Reading && m_state != State::Writing) {
        return;
    }
    const auto valueLine = ReadValueLine(text);
    if (!valueLine) {
        return;
    }
    // A SETENV may be answered with the value it set; a GETENV only with the value asked for.
    const bool own = EqualsIgnoringCase(valueLine->name, m_variable);
    if (!own || m_state == State::Writing) {
        // Text that names no variable Flintor reads stays unsolicited text.
        if (!own && IsReadVariable(valueLine->name)) {
            notUnderstood("a value of " + Escaped(valueLine->name) + " (" + Quoted(line) + ") in answer to " +
                          m_request);
        }
        return;
    }
    if (m_value && *m_value != valueLine->value) {
        notUnderstood("two different values of " + m_variable + " in answer to " + m_request + " (" +
                      Quoted(m_valueLine) + " and " + Quoted(line) + ")");
        return;
    }
    if (!m_value) {
        m_value = std::string(valueLine->value);
        m_valueLine = line;
    }
}

void BootLoaderConversation::notUnderstood(const std::string& why) {
    end(ConversationEventKind::Failure, FailureKind::NotUnderstood,
        Capitalised(m_peer) + " sent " + why +
            ": Flintor does not understand the conversation, so it was ended.");
}

void BootLoaderConversation::handleReply(int code, const std::string& received, const std::string& line) {
    if (transferring()) {
        handleTransferReply(code, line);
        return;
    }
    if (code / 100 == 1) {
        // "120 Service ready in 1 minute", "150 ...": the reply that counts is still to come.
        if (m_state == State::AwaitingBanner) {
            m_bannerLines.clear();
        }
        return;
    }
    switch (m_state) {
    case State::AwaitingBanner:
        handleBannerReply(code, line);
        break;
    case State::LoggingIn:
        handleLoginReply(code, line);
        break;
    case State::Reading:
        if (code / 100 == 2) {
            // A value may come on the reply line itself ("200 mtd0 0x...").
            handleText(std::string_view(received).substr(std::min<std::size_t>(received.size(), 4)), line);
            if (m_state != State::Reading) {
                return;
            }
        }
        handleValueReply(code, line);
        break;
    case State::Writing:
        handleWriteReply(code, line);
        break;
    default:
        break;
    }
}

void BootLoaderConversation::handleBannerReply(int code, const std::string& line) {
    if (code != 220) {
        end(ConversationEventKind::Failure, FailureKind::UnexpectedReply,
            Capitalised(m_peer) + " greeted with " + Quoted(line) + " instead of a 220 reply.", line);
        return;
    }
    for (const auto& bannerLine : m_bannerLines) {
        m_banner += (m_banner.empty() ? "" : "\n") + bannerLine;
    }
    m_bannerLines.clear();
    m_state = State::Greeted;
    ConversationEvent event;
    event.kind = ConversationEventKind::Banner;
    event.value = m_banner;
    event.reply = line;
    announce(std::move(event));
}

void BootLoaderConversation::handleLoginReply(int code, const std::string& line) {
    if (code == 331 && !m_passwordSent) {
        m_passwordSent = true;
        // The transcript never shows the password, not even its length.
        send("PASS " + m_pendingPassword, "PASS ****");
        m_pendingPassword.clear();
        return;
    }
    m_pendingPassword.clear();
    if (code / 100 != 2) {
        end(ConversationEventKind::LoginRefused, FailureKind::LoginRefused,
            Capitalised(m_peer) + " refused the login as " + m_user + ": " + Quoted(line) + ".", line);
        return;
    }
    m_state = State::Ready;
    ConversationEvent event;
    event.kind = ConversationEventKind::LoggedIn;
    event.reply = line;
    announce(std::move(event));
}

void BootLoaderConversation::handleValueReply(int code, const std::string& line) {
    if (code / 100 != 2 && code / 100 != 5) {
        end(ConversationEventKind::Failure, FailureKind::UnexpectedReply,
            Capitalised(m_peer) + " answered " + m_request + " with " + Quoted(line) + ".", line);
        return;
    }
    m_state = State::Ready;
    ConversationEvent event;
    // A refusal of GETENV is how some boot loaders say that a variable is not set.
    event.kind =
        code / 100 == 2 && m_value ? ConversationEventKind::ValueRead : ConversationEventKind::ValueUnset;
    event.name = m_variable;
    if (event.kind == ConversationEventKind::ValueRead) {
        event.value = *m_value;
    }
    event.reply = line;
    m_value.reset();
    announce(std::move(event));
}

void BootLoaderConversation::handleWriteReply(int code, const std::string& line) {
    m_state = State::Ready;
    ConversationEvent event;
    event.kind = code == 200 ? ConversationEventKind::WriteAccepted : ConversationEventKind::WriteRefused;
    event.name = m_variable;
    event.reply = line;
    announce(std::move(event));
}

std::optional<std::uint16_t> PassivePort(std::string_view reply) {
    if (ReplyCode(reply) != 227 || !IsFinalLine(reply)) {
        return std::nullopt;
    }
    std::string_view text = reply.substr(std::min<std::size_t>(reply.size(), 4));
    // RFC 1123 lets a server leave the parentheses out; the numbers then start at the first digit.
    const std::size_t open = text.find('(');
    const bool parenthesised = open != std::string_view::npos;
    const std::size_t first = parenthesised ? open + 1 : text.find_first_of("0123456789");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(first);
    unsigned numbers[6] = {};
    for (int i = 0; i < 6; ++i) {
        while (!text.empty() && IsBlank(text.front())) {
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) {
            return std::nullopt;
        }
        numbers[i] = value;
        text.remove_prefix(digits);
        while (!text.empty() && IsBlank(text.front())) {
            text.remove_prefix(1);
        }
        if (i < 5) {
            if (text.empty() || text.front() != ',') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
    }
    if (parenthesised
            ? text.empty() || text.front() != ')'
            : !text.empty() && (text.front() == ',' || (text.front() >= '0' && text.front() <= '9'))) {
        return std::nullopt;
    }
    const unsigned port = numbers[4] * 256 + numbers[5];
    if (port == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

namespace {

bool IsImageNameCharacter(char c) {
    return IsWordCharacter(c) || c == '.' || c == '+' || c == '-';
}

// "mtd0" to "mtd5" in any letter case: a boot loader could take such a name for the partition.
bool IsPartitionName(std::string_view name) {
    return name.size() == 4 && EqualsIgnoringCase(name.substr(0, 3), "mtd") && name[3] >= '0' &&
           name[3] <= '5';
}

} // namespace

bool BootLoaderConversation::IsImageName(std::string_view name) {
    return !name.empty() && name.size() <= 64 &&
           std::all_of(name.begin(), name.end(), IsImageNameCharacter) && !IsPartitionName(name);
}

std::string ImageNameForStor(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    std::string name(fileName.substr(0, 64));
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !IsImageNameCharacter(c); }, '_');
    if (name.empty()) {
        return "image.bin";
    }
    return IsPartitionName(name) ? "image-" + name : name;
}

std::string BootLoaderConversation::requestStep(State state, const std::string& command) {
    if (m_state != State::Ready) {
        throw std::logic_error(command + " outside the ready state");
    }
    m_state = state;
    send(command, command);
    process();
    return m_request;
}

std::string BootLoaderConversation::requestBinaryType() {
    return requestStep(State::SettingType, "TYPE I");
}

std::string BootLoaderConversation::requestFlashMedia() {
    return requestStep(State::SettingMedia, "MEDIA FLSH");
}

std::string BootLoaderConversation::requestPassive() {
    m_passivePort.reset();
    return requestStep(State::Opening, "PASV");
}

std::string BootLoaderConversation::requestStore(std::string_view name) {
    if (!IsImageName(name)) {
        throw std::invalid_argument("not a name STOR can give an image");
    }
    // In ASCII mode or to SDRAM the bytes would not land unchanged in the flash.
    if (m_state != State::Ready || !m_binaryType || !m_flashMedia || !m_passivePort) {
        throw std::logic_error("STOR before TYPE I, MEDIA FLSH and PASV were answered");
    }
    m_passivePort.reset();
    m_transferStarted = false;
    m_variable = kImagePartition;
    return requestStep(State::Storing, "STOR " + std::string(name) + " " + std::string(kImagePartition));
}

std::string BootLoaderConversation::requestRetrieve() {
    if (m_state != State::Ready || !m_binaryType || !m_flashMedia || !m_passivePort) {
        throw std::logic_error("RETR before TYPE I, MEDIA FLSH and PASV were answered");
    }
    m_passivePort.reset();
    m_transferStarted = false;
    m_variable = kImagePartition;
    return requestStep(State::Retrieving, "RETR " + std::string(kImagePartition));
}

std::string BootLoaderConversation::requestReboot() {
    return requestStep(State::Rebooting, "REBOOT");
}

bool BootLoaderConversation::transferring() const {
    switch (m_state) {
    case State::SettingType:
    case State::SettingMedia:
    case State::Opening:
    case State::Storing:
    case State::Retrieving:
    case State::Rebooting:
        return true;
    default:
        return false;
    }
}

void BootLoaderConversation::handleTransferReply(int code, const std::string& line) {
    const State state = m_state;
    const bool transfer = state == State::Storing || state == State::Retrieving;
    ConversationEvent event;
    event.reply = line;
    if (transfer) {
        event.name = kImagePartition;
    }
    if (code / 100 == 1) {
        // "150 Opening BINARY mode data connection": the data may flow. Other preliminary replies wait on.
        if (transfer && !m_transferStarted && (code == 150 || code == 125)) {
            m_transferStarted = true;
            event.kind = ConversationEventKind::TransferStarted;
            announce(std::move(event));
        }
        return;
    }
    if (code / 100 == 4 || code / 100 == 5) {
        event.kind =
            !transfer ? ConversationEventKind::CommandRefused
            : state == State::Retrieving && !m_transferStarted && (code == 500 || code == 502 || code == 504)
                ? ConversationEventKind::TransferUnsupported
                : ConversationEventKind::TransferRefused;
        m_state = State::Ready;
        announce(std::move(event));
        return;
    }
    std::optional<std::uint16_t> port;
    bool fits = false;
    switch (state) {
    case State::SettingType:
    case State::SettingMedia:
        fits = code == 200;
        event.kind = ConversationEventKind::SettingAccepted;
        (state == State::SettingType ? m_binaryType : m_flashMedia) = fits;
        break;
    case State::Opening:
        port = code == 227 ? PassivePort(line) : std::nullopt;
        fits = port.has_value();
        event.kind = ConversationEventKind::PassiveOpened;
        break;
    case State::Storing:
    case State::Retrieving:
        // A 226 before the 150 would say that bytes were taken that were never sent.
        fits = m_transferStarted && (code == 226 || code == 250);
        event.kind = ConversationEventKind::TransferDone;
        break;
    default:
        fits = code / 100 == 2;
        event.kind = ConversationEventKind::Rebooting;
        break;
    }
    if (!fits) {
        end(ConversationEventKind::Failure, FailureKind::UnexpectedReply,
            Capitalised(m_peer) + " answered " + m_request + " with " + Quoted(line) +
                (state == State::Opening && code == 227 ? ", which names no data port." : "."),
            line);
        return;
    }
    if (state == State::Opening) {
        m_passivePort = port;
    }
    m_state = state == State::Rebooting ? State::Restarted : State::Ready;
    announce(std::move(event));
}

void BootLoaderConversation::send(const std::string& command, const std::string& shown) {
    m_outgoing += command;
    m_outgoing += "\r\n";
    m_request = shown;
    record('>', shown);
}

void BootLoaderConversation::announce(ConversationEvent event) {
    m_events.push_back(std::move(event));
}

ConversationEvent BootLoaderConversation::end(ConversationEventKind kind, FailureKind failure,
                                              const std::string& message, const std::string& reply) {
    const bool aboutVariable = m_state == State::Reading || m_state == State::Writing;
    m_state = State::Ended;
    m_discarding = true;
    m_partial.clear();
    m_lines.clear();
    m_queuedBytes = 0;
    m_pendingPassword.clear();
    record('*', message);
    ConversationEvent event;
    event.kind = kind;
    if (aboutVariable) {
        event.name = m_variable;
    }
    event.reply = reply;
    event.failure = failure;
    event.message = message;
    announce(event);
    return event;
}

void BootLoaderConversation::record(char direction, std::string_view text) {
    m_transcript.add(direction, text);
}

} // namespace flintor
