#include "RouterConnection.h"

#include "Durations.h"

#include <algorithm>
#include <array>
#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace flintor {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool IsDisconnection(const std::error_code& error) {
    return error == asio::error::eof || error == asio::error::connection_reset ||
           error == asio::error::connection_aborted || error == asio::error::broken_pipe;
}

} // namespace

struct RouterConnection::Impl {
    Impl(RouterAddress address, ConnectionOptions options)
        : address(std::move(address)), options(options),
          conversation("the router at " + this->address.text()) {
        this->options.retryInterval = std::max(this->options.retryInterval, milliseconds(1));
        this->options.replyTimeout = std::max(this->options.replyTimeout, milliseconds(1));
        this->options.wait = std::max(this->options.wait, milliseconds(0));
        this->options.dataStallTimeout = std::max(this->options.dataStallTimeout, milliseconds(1));
        this->options.flashReplyTimeout = std::max(this->options.flashReplyTimeout, milliseconds(1));
        replyWait = this->options.replyTimeout;
    }

    // Runs an operation that start() begins with a completion handler until the handler has run. The
    // operation is ended at the deadline (timedOut) or by cancel(); its error comes back.
    template <typename Start>
    std::error_code run(Start&& start, Clock::time_point deadline, bool& timedOut,
                        std::size_t* count = nullptr) {
        timedOut = false;
        if (cancelled) {
            return asio::error::operation_aborted;
        }
        std::error_code result;
        bool done = false;
        bool timerDone = false;
        start([&](const std::error_code& error, auto... transferred) {
            result = error;
            done = true;
            if constexpr (sizeof...(transferred) == 1) {
                if (count != nullptr) {
                    *count = (transferred, ...);
                }
            }
            timer.cancel();
        });
        timer.expires_at(deadline);
        timer.async_wait([&](const std::error_code& error) {
            timerDone = true;
            if (!error && !done) {
                timedOut = true;
                abortIo();
            }
        });
        io.restart();
        while (!(done && timerDone) && io.run_one() > 0) {
        }
        return cancelled && !timedOut && result ? asio::error::operation_aborted : result;
    }

    // Waits until the time; false when cancelled meanwhile.
    bool waitUntil(Clock::time_point time) {
        if (cancelled) {
            return false;
        }
        bool done = false;
        timer.expires_at(time);
        timer.async_wait([&done](const std::error_code&) { done = true; });
        io.restart();
        while (!done && io.run_one() > 0) {
        }
        return !cancelled;
    }

    void abortIo() {
        std::error_code ignored;
        socket.cancel(ignored);
        data.cancel(ignored);
        resolver.cancel();
        timer.cancel();
    }

    ConversationEvent failed(FailureKind kind, const std::string& message) {
        closeSocket();
        lastFailure = conversation.fail(kind, message);
        // The event is returned here; the conversation's copy of it would be seen twice.
        while (conversation.nextEvent()) {
        }
        return lastFailure;
    }

    void closeSocket() {
        std::error_code ignored;
        socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
        abortData();
    }

    ConversationEvent cancelledFailure() {
        const bool unanswered = conversation.awaitingReply() && !conversation.request().empty();
        return failed(FailureKind::Cancelled,
                      unanswered ? "Cancelled while " + conversation.request() +
                                       " was unanswered by the router at " + address.text() + "."
                      : conversation.state() == BootLoaderConversation::State::AwaitingBanner
                          ? "Cancelled while waiting for the router at " + address.text() + "."
                          : std::string("Cancelled."));
    }

    ConversationEvent transportFailure(const std::error_code& error, bool timedOut) {
        if (cancelled) {
            return cancelledFailure();
        }
        if (timedOut) {
            const std::string request = conversation.request();
            return failed(FailureKind::Timeout,
                          "The router at " + address.text() + " did not " +
                              (request.empty() ? std::string("greet") : "answer " + request) + " within " +
                              DurationText(replyWait) + ".");
        }
        return failed(FailureKind::Network, "The connection to the router at " + address.text() +
                                                " failed: " + error.message() + ".");
    }

    // Sends what the conversation has to send and reads until it reports an event. With
    // retryOnSilentClose, a connection closed before any byte came gives no event (the server is not
    // up yet) and silentClose is set.
    std::optional<ConversationEvent> exchange(bool retryOnSilentClose = false, bool* silentClose = nullptr) {
        wrote = false;
        auto deadline = Clock::now() + replyWait;
        bool heard = false;
        bool closed = false;
        while (true) {
            if (auto event = conversation.nextEvent()) {
                if (event->kind == ConversationEventKind::Failure ||
                    event->kind == ConversationEventKind::LoginRefused) {
                    closeSocket();
                    lastFailure = *event;
                }
                return event;
            }
            bool timedOut = false;
            if (const std::string outgoing = conversation.takeOutgoing(); !outgoing.empty()) {
                // Each command has its own time for the reply.
                deadline = Clock::now() + replyWait;
                const auto error = run(
                    [&](auto handler) {
                        asio::async_write(socket, asio::buffer(outgoing), std::move(handler));
                    },
                    deadline, timedOut);
                if (error) {
                    return transportFailure(error, timedOut);
                }
                wrote = true;
                continue;
            }
            if (!conversation.awaitingReply() || closed) {
                return failed(FailureKind::Closed,
                              "The router at " + address.text() + " closed the connection.");
            }
            std::size_t count = 0;
            const auto error =
                run([&](auto handler) { socket.async_read_some(asio::buffer(buffer), std::move(handler)); },
                    deadline, timedOut, &count);
            if (error && !timedOut && !cancelled && IsDisconnection(error)) {
                if (retryOnSilentClose && !heard) {
                    *silentClose = true;
                    closeSocket();
                    return std::nullopt;
                }
                if (closed) {
                    return failed(FailureKind::Closed,
                                  "The router at " + address.text() + " closed the connection.");
                }
                // What came before the close may still complete the reply.
                closed = true;
                conversation.connectionClosed();
                continue;
            }
            if (error) {
                return transportFailure(error, timedOut);
            }
            heard = heard || count > 0;
            conversation.receive(std::string_view(buffer.data(), count));
        }
    }

    // The addresses to try, or why there are none.
    std::vector<asio::ip::tcp::endpoint> endpoints(bool loopbackOnly, Clock::time_point deadline,
                                                   std::string& error) {
        if (IsIpLiteral(address.host)) {
            std::error_code ignored;
            return {asio::ip::tcp::endpoint(asio::ip::make_address(address.host, ignored), address.port)};
        }
        std::vector<asio::ip::tcp::endpoint> found;
        bool timedOut = false;
        asio::ip::tcp::resolver::results_type results;
        const auto resolved = run(
            [&](auto handler) {
                resolver.async_resolve(address.host, std::to_string(address.port),
                                       [&results, handler](const std::error_code& e, auto r) mutable {
                                           results = std::move(r);
                                           handler(e);
                                       });
            },
            deadline, timedOut);
        if (resolved) {
            error = cancelled ? ""
                              : "The name " + address.host + " could not be resolved: " +
                                    (timedOut ? "no answer within the wait." : resolved.message() + ".");
            return {};
        }
        for (const auto& entry : results) {
            if (!loopbackOnly || entry.endpoint().address().is_loopback()) {
                found.push_back(entry.endpoint());
            }
        }
        if (found.empty()) {
            error = "The name " + address.host + " resolved to no" + (loopbackOnly ? " loopback" : "") +
                    " address" +
                    (loopbackOnly ? std::string(", and only loopback addresses may be contacted while ") +
                                        kLoopbackOnlyVariable + " is set."
                                  : ".");
        }
        return found;
    }

    ConversationEvent open(std::string_view user, std::string_view password,
                           const RouterProgressSink& progress) {
        if (opened) {
            // Once is enough: a second call tells how the first one ended.
            if (auto failure = unusable()) {
                return *failure;
            }
            ConversationEvent loggedIn;
            loggedIn.kind = ConversationEventKind::LoggedIn;
            return loggedIn;
        }
        opened = true;
        const bool loopbackOnly = options.loopbackOnly || LoopbackOnlyRequested();
        if (loopbackOnly) {
            if (const std::string refusal = LoopbackRefusal(address); !refusal.empty()) {
                return failed(FailureKind::AddressRefused, refusal);
            }
        }
        if (!BootLoaderConversation::CanLogIn(user, password)) {
            return failed(
                FailureKind::LoginRefused,
                "The user name or the password cannot be sent: a user name is needed, and neither may "
                "hold control characters or be longer than 256 bytes.");
        }
        const auto report = [&progress](RouterProgress::Stage stage, std::string text,
                                        milliseconds left = {}) {
            if (progress) {
                progress(RouterProgress{stage, std::move(text), left});
            }
        };
        const auto start = Clock::now();
        const auto deadline = start + options.wait;
        const std::string waiting = "waiting for " + address.text() + " ...";
        conversation.note(waiting);
        report(RouterProgress::Stage::Waiting, waiting, options.wait);
        long long reportedSeconds = SecondsLeft(options.wait);

        std::string error;
        const auto targets = endpoints(loopbackOnly, deadline, error);
        if (targets.empty()) {
            return cancelled ? cancelledFailure() : failed(FailureKind::AddressRefused, error);
        }
        while (true) {
            if (cancelled) {
                return cancelledFailure();
            }
            const auto now = Clock::now();
            if (now >= deadline && attempts > 0) {
                return failed(FailureKind::NoAnswer,
                              "Nothing answered at " + address.text() + " within " +
                                  DurationText(options.wait) + " (" + std::to_string(attempts) +
                                  (attempts == 1 ? " connection attempt)." : " connection attempts)."));
            }
            // The first attempt has its whole interval, however short the wait.
            const auto slotEnd =
                attempts == 0 ? now + options.retryInterval : std::min(now + options.retryInterval, deadline);
            const auto& target = targets[static_cast<std::size_t>(attempts) % targets.size()];
            if (loopbackOnly && !target.address().is_loopback()) {
                return failed(FailureKind::AddressRefused, LoopbackRefusal(address));
            }
            ++attempts;
            closeSocket();
            bool timedOut = false;
            const auto connectError = run(
                [&](auto handler) { socket.async_connect(target, std::move(handler)); }, slotEnd, timedOut);
            if (!connectError) {
                std::error_code ignored;
                socket.set_option(asio::ip::tcp::no_delay(true), ignored);
                const std::string connected =
                    "connected to " + address.text() + " (attempt " + std::to_string(attempts) + ")";
                conversation.note(connected);
                report(RouterProgress::Stage::Connected, connected);
                bool silentClose = false;
                auto greeting = exchange(true, &silentClose);
                if (greeting) {
                    if (greeting->kind != ConversationEventKind::Banner) {
                        return *greeting;
                    }
                    break;
                }
                conversation.note("the connection was closed before a greeting; waiting on");
            } else if (cancelled) {
                return cancelledFailure();
            }
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (SecondsLeft(left) != reportedSeconds && left.count() > 0) {
                reportedSeconds = SecondsLeft(left);
                report(RouterProgress::Stage::Waiting, waiting, left);
            }
            if (!waitUntil(slotEnd)) {
                return cancelledFailure();
            }
        }
        conversation.login(user, password);
        const auto loggedIn = *exchange();
        if (loggedIn.kind == ConversationEventKind::LoggedIn) {
            conversation.note("logged in");
            report(RouterProgress::Stage::LoggedIn, "logged in");
        }
        return loggedIn;
    }

    // The conversation can take a request: logged in, not failed, not cancelled.
    std::optional<ConversationEvent> unusable() {
        if (conversation.state() == BootLoaderConversation::State::Ended) {
            // A close after a whole reply ends the conversation behind that reply's event.
            while (auto event = conversation.nextEvent()) {
                if (event->kind == ConversationEventKind::Failure) {
                    closeSocket();
                    lastFailure = *event;
                }
            }
            return lastFailure;
        }
        if (cancelled) {
            return cancelledFailure();
        }
        if (conversation.state() != BootLoaderConversation::State::Ready) {
            throw std::logic_error("the router is not logged in");
        }
        return std::nullopt;
    }

    // An image transfer, from TYPE I to the 226.

    void report(const RouterProgressSink& progress, RouterProgress::Stage stage, std::string text,
                std::uint64_t done = 0, std::uint64_t total = 0) {
        if (progress) {
            RouterProgress event{stage, std::move(text), {}};
            event.bytesDone = done;
            event.bytesTotal = total;
            progress(event);
        }
    }

    void reportStep(const RouterProgressSink& progress, const std::string& command,
                    const ConversationEvent& event) {
        if (event.kind != ConversationEventKind::Failure) {
            report(progress, RouterProgress::Stage::TransferStep, "sent " + command + ": " + event.reply);
        }
    }

    // TYPE I, MEDIA FLSH and PASV: PassiveOpened, or the event that ended them.
    ConversationEvent prepareTransfer(const RouterProgressSink& progress) {
        ConversationEvent event;
        for (const auto request :
             {&BootLoaderConversation::requestBinaryType, &BootLoaderConversation::requestFlashMedia,
              &BootLoaderConversation::requestPassive}) {
            const std::string command = (conversation.*request)();
            event = *exchange();
            reportStep(progress, command, event);
            if (event.kind != ConversationEventKind::SettingAccepted &&
                event.kind != ConversationEventKind::PassiveOpened) {
                break;
            }
        }
        return event;
    }

    // The data connection: to the control connection's peer, never to an address a reply names.
    std::optional<ConversationEvent> openData(std::uint16_t port) {
        std::error_code error;
        const auto peer = socket.remote_endpoint(error);
        if (error) {
            return transportFailure(error, false);
        }
        const asio::ip::tcp::endpoint target(peer.address(), port);
        const std::string where = RouterAddress{target.address().to_string(), port}.text();
        if ((options.loopbackOnly || LoopbackOnlyRequested()) && !target.address().is_loopback()) {
            return failed(FailureKind::AddressRefused,
                          "The data connection would go to " + where +
                              ", and only loopback addresses may be contacted while " +
                              kLoopbackOnlyVariable + " is set.");
        }
        closeData();
        bool timedOut = false;
        error = run([&](auto handler) { data.async_connect(target, std::move(handler)); },
                    Clock::now() + options.replyTimeout, timedOut);
        if (error) {
            closeData();
            if (cancelled) {
                return cancelledFailure();
            }
            return failed(
                timedOut ? FailureKind::Timeout : FailureKind::Network,
                "The data connection to " + where + " could not be opened: " +
                    (timedOut ? "no answer within " + DurationText(options.replyTimeout) : error.message()) +
                    ".");
        }
        conversation.note("data connection to " + where);
        return std::nullopt;
    }

    void closeData() {
        std::error_code ignored;
        data.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        data.close(ignored);
    }

    // Ends the data connection with a reset, so that the router sees a broken transfer, never an end of
    // file that would pass for the end of the image.
    void abortData() {
        std::error_code ignored;
        if (data.is_open()) {
            data.set_option(asio::socket_base::linger(true, 0), ignored);
        }
        data.close(ignored);
    }

    // The data connection broke: the router's reply on the control connection tells why, if it comes.
    ConversationEvent dataBroken(const std::error_code& error, std::uint64_t moved, std::uint64_t total) {
        abortData();
        const std::string what = std::to_string(moved) + " of " + std::to_string(total) + " bytes";
        conversation.note("the data connection broke after " + what + ": " + error.message());
        ConversationEvent event = *exchange();
        if (event.kind == ConversationEventKind::TransferRefused) {
            return event;
        }
        return failed(event.kind == ConversationEventKind::Failure ? event.failure
                                                                   : FailureKind::UnexpectedReply,
                      "The data connection to the router at " + address.text() + " broke after " + what +
                          " (" + error.message() + ")" +
                          (event.kind == ConversationEventKind::Failure
                               ? "; " + event.message
                               : ", and the router answered " + event.reply + "."));
    }

    ConversationEvent stalled(std::uint64_t moved, std::uint64_t total, const char* verb) {
        abortData();
        return failed(FailureKind::Timeout,
                      "No byte moved on the data connection to the router at " + address.text() + " for " +
                          DurationText(options.dataStallTimeout) + " (" + std::to_string(moved) + " of " +
                          std::to_string(total) + " bytes " + verb + ").");
    }

    // Percentages change often enough for the owner and rarely enough for a terminal.
    static bool NewPercent(std::uint64_t before, std::uint64_t after, std::uint64_t total) {
        return total == 0 || before * 100 / total != after * 100 / total;
    }

    static std::string Percent(std::uint64_t done, std::uint64_t total) {
        return std::to_string(total == 0 ? 100 : std::min<std::uint64_t>(done * 100 / total, 100)) + " %";
    }

    ImageTransferResult writeImage(std::string_view name, std::span<const std::uint8_t> image,
                                   const RouterProgressSink& progress) {
        ImageTransferResult result;
        if (auto failure = unusable()) {
            result.event = *failure;
            return result;
        }
        transferProgress = &progress;
        struct Reset {
            Impl& impl;
            ~Reset() {
                std::lock_guard lock(impl.cancelMutex);
                impl.uncancellable = false;
                impl.transferProgress = nullptr;
                impl.replyWait = impl.options.replyTimeout;
            }
        } reset{*this};

        result.event = prepareTransfer(progress);
        if (result.event.kind != ConversationEventKind::PassiveOpened) {
            return result;
        }
        if (auto failure = openData(*conversation.passivePort())) {
            result.event = *failure;
            return result;
        }
        const std::string command = conversation.requestStore(ImageNameForStor(name));
        result.event = *exchange();
        if (result.event.kind != ConversationEventKind::TransferStarted) {
            abortData();
            return result;
        }
        reportStep(progress, command, result.event);
        result.imageAreaTouched = true;
        result.transferStarted = true;
        {
            // From the first byte on, stopping would leave the image area half written.
            std::lock_guard lock(cancelMutex);
            uncancellable = !cancelled;
        }
        if (!uncancellable) {
            abortData();
            result.event =
                failed(FailureKind::Cancelled, "Cancelled before the first byte of the image was sent.");
            return result;
        }
        const std::uint64_t total = image.size();
        report(progress, RouterProgress::Stage::SendingImage, "sending the image (0 %)", 0, total);
        while (result.bytes < total) {
            // Whatever the system takes at once: the image is never copied.
            const std::size_t left = image.size() - static_cast<std::size_t>(result.bytes);
            const std::size_t piece = std::min<std::size_t>(left, 1024 * 1024);
            bool timedOut = false;
            std::size_t count = 0;
            const auto error = run(
                [&](auto handler) {
                    data.async_write_some(asio::buffer(image.data() + result.bytes, piece),
                                          std::move(handler));
                },
                Clock::now() + options.dataStallTimeout, timedOut, &count);
            if (timedOut) {
                result.event = stalled(result.bytes, total, "sent");
                return result;
            }
            if (error) {
                result.event = dataBroken(error, result.bytes, total);
                return result;
            }
            const std::uint64_t before = result.bytes;
            result.bytes += count;
            if (NewPercent(before, result.bytes, total)) {
                report(progress, RouterProgress::Stage::SendingImage,
                       "sending the image (" + Percent(result.bytes, total) + ")", result.bytes, total);
            }
        }
        // The end of the data: the router takes what came as the whole image.
        std::error_code ignored;
        data.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
        data.close(ignored);
        conversation.note("sent " + std::to_string(total) +
                          " bytes; waiting for the router to write its flash");
        report(progress, RouterProgress::Stage::WritingFlash,
               "the router is writing its flash; do not switch it off");
        replyWait = options.flashReplyTimeout;
        result.event = *exchange();
        reportStep(progress, command, result.event);
        return result;
    }

    ImageTransferResult readImage(std::uint64_t size, const ImageSink& sink,
                                  const RouterProgressSink& progress) {
        ImageTransferResult result;
        if (auto failure = unusable()) {
            result.event = *failure;
            return result;
        }
        result.event = prepareTransfer(progress);
        if (result.event.kind != ConversationEventKind::PassiveOpened) {
            return result;
        }
        if (auto failure = openData(*conversation.passivePort())) {
            result.event = *failure;
            return result;
        }
        const std::string command = conversation.requestRetrieve();
        result.event = *exchange();
        reportStep(progress, command, result.event);
        if (result.event.kind != ConversationEventKind::TransferStarted) {
            closeData();
            return result;
        }
        result.transferStarted = true;
        const std::uint64_t most = size + std::min(kImageReadSlack, UINT64_MAX - size);
        dataBuffer.resize(64 * 1024);
        report(progress, RouterProgress::Stage::ReadingImage, "reading the image area back (0 %)", 0, size);
        while (true) {
            bool timedOut = false;
            std::size_t count = 0;
            const auto error =
                run([&](auto handler) { data.async_read_some(asio::buffer(dataBuffer), std::move(handler)); },
                    Clock::now() + options.dataStallTimeout, timedOut, &count);
            if (error == asio::error::eof) {
                break;
            }
            if (cancelled) {
                abortData();
                result.event = cancelledFailure();
                return result;
            }
            if (timedOut) {
                result.event = stalled(result.bytes, size, "received");
                return result;
            }
            if (error) {
                result.event = dataBroken(error, result.bytes, size);
                return result;
            }
            const std::uint64_t before = result.bytes;
            result.bytes += count;
            if (result.bytes > most) {
                abortData();
                result.event =
                    failed(FailureKind::TooMuchData,
                           "The router at " + address.text() + " sent more than " + std::to_string(most) +
                               " bytes for " + std::string(kImagePartition) + ", whose size is " +
                               std::to_string(size) + " bytes; the read was ended.");
                return result;
            }
            sink(std::span<const std::uint8_t>(dataBuffer.data(), count));
            if (NewPercent(before, std::min(result.bytes, size), size)) {
                report(progress, RouterProgress::Stage::ReadingImage,
                       "reading the image area back (" + Percent(result.bytes, size) + ")",
                       std::min(result.bytes, size), size);
            }
        }
        closeData();
        result.event = *exchange();
        reportStep(progress, command, result.event);
        return result;
    }

    // Runs on the thread that talks, from cancel() through the io context.
    void reportCancelRefused() {
        conversation.note("a cancel request came while the image was being written; the write goes on");
        if (transferProgress != nullptr) {
            report(*transferProgress, RouterProgress::Stage::CancelRefused,
                   "the image is being written: stopping now would leave " + std::string(kImagePartition) +
                       " half written, so the write goes on");
        }
    }

    RouterAddress address;
    ConnectionOptions options;
    asio::io_context io;
    asio::ip::tcp::socket socket{io};
    asio::ip::tcp::resolver resolver{io};
    asio::steady_timer timer{io};
    std::atomic<bool> cancelled{false};
    BootLoaderConversation conversation;
    ConversationEvent lastFailure;
    std::array<char, 4096> buffer{};
    int attempts = 0;
    bool opened = false;
    bool wrote = false; // the last exchange put its command on the wire

    // An image transfer.
    asio::ip::tcp::socket data{io};
    milliseconds replyWait{}; // for the reply being awaited
    std::vector<std::uint8_t> dataBuffer;
    // The image write's progress, while it runs.
    const RouterProgressSink* transferProgress = nullptr;
    // Guards uncancellable, and cancelled against it.
    std::mutex cancelMutex;
    // The image is being written: cancel() is refused.
    bool uncancellable = false;
};

RouterConnection::RouterConnection(RouterAddress address, ConnectionOptions options)
    : m_impl(std::make_unique<Impl>(std::move(address), options)) {}

RouterConnection::~RouterConnection() = default;

ConversationEvent RouterConnection::open(std::string_view user, std::string_view password,
                                         const RouterProgressSink& progress) {
    return m_impl->open(user, password, progress);
}

ConversationEvent RouterConnection::readValue(std::string_view name) {
    if (auto failure = m_impl->unusable()) {
        return *failure;
    }
    m_impl->conversation.requestValue(name);
    return *m_impl->exchange();
}

ConversationEvent RouterConnection::writePartition(const PartitionBounds& bounds, std::string* sent) {
    if (auto failure = m_impl->unusable()) {
        return *failure;
    }
    const std::string command = m_impl->conversation.requestWrite(bounds);
    ConversationEvent event = *m_impl->exchange();
    // A conversation that had ended unnoticed (a close after the last reply) sends nothing.
    if (sent != nullptr && m_impl->wrote) {
        *sent = command;
    }
    return event;
}

ImageTransferResult RouterConnection::writeImage(std::string_view name, std::span<const std::uint8_t> image,
                                                 const RouterProgressSink& progress) {
    if (image.empty()) {
        throw std::invalid_argument("an empty image");
    }
    return m_impl->writeImage(name, image, progress);
}

ImageTransferResult RouterConnection::readImage(std::uint64_t size, const ImageSink& sink,
                                                const RouterProgressSink& progress) {
    return m_impl->readImage(size, sink, progress);
}

ConversationEvent RouterConnection::reboot() {
    if (auto failure = m_impl->unusable()) {
        return *failure;
    }
    m_impl->conversation.requestReboot();
    ConversationEvent event = *m_impl->exchange();
    if (event.kind == ConversationEventKind::Rebooting) {
        m_impl->closeSocket();
    }
    return event;
}

void RouterConnection::cancel() {
    {
        std::lock_guard lock(m_impl->cancelMutex);
        if (m_impl->uncancellable) {
            asio::post(m_impl->io, [impl = m_impl.get()] { impl->reportCancelRefused(); });
            return;
        }
        m_impl->cancelled = true;
    }
    // The handler runs on the thread that talks, inside its wait; posting is the one thread-safe way in.
    asio::post(m_impl->io, [impl = m_impl.get()] { impl->abortIo(); });
}

const RouterAddress& RouterConnection::address() const {
    return m_impl->address;
}

const std::string& RouterConnection::banner() const {
    return m_impl->conversation.banner();
}

const std::string& RouterConnection::transcript() const {
    return m_impl->conversation.transcript();
}

int RouterConnection::connectionAttempts() const {
    return m_impl->attempts;
}

} // namespace flintor
