#include "RouterSession.h"

#include "AsciiText.h"
#include "RouterEnvironment.h"

#include <stdexcept>

namespace flintor {

namespace {

std::string NameOf(const PartitionBounds& bounds) {
    return "mtd" + std::to_string(bounds.number);
}

// "0x90020000, 0x903F0000" or what stands for no value.
std::string ReadBackText(const PartitionWrite& write) {
    if (write.readBack) {
        return RangeText(*write.readBack);
    }
    return write.readBackValue ? QuotedShort(*write.readBackValue) + " (no address range)"
                               : "nothing (not set)";
}

} // namespace

RouterSession::RouterSession(RouterAddress address, RouterSessionOptions options)
    : m_options(std::move(options)), m_address(address),
      m_link(MakeFtpLink(std::move(address), m_options.user, m_options.password, m_options.connection)) {}

RouterSession::RouterSession(std::unique_ptr<RouterLink> link) : m_link(std::move(link)) {
    m_options.user.clear();
    m_options.password.clear();
}

RouterSession::~RouterSession() = default;

RouterReadResult RouterSession::read(const RouterProgressSink& progress) {
    RouterReadResult result;
    const auto failed = [&result](const ConversationEvent& event) {
        result.failure = event.failure;
        result.message = event.message;
        return result;
    };
    m_lastReading.reset();
    // A second read finds the link open: open() then tells how the first call ended.
    const ConversationEvent login = m_link->open(progress);
    if (login.kind != ConversationEventKind::LoggedIn) {
        return failed(login);
    }
    RouterReading reading;
    reading.banner = m_link->banner();
    const std::vector<std::string> names(kRouterVariables.begin(), kRouterVariables.end());
    const std::vector<ConversationEvent> events = m_link->readValues(names);
    if (events.size() != names.size()) {
        ConversationEvent failure;
        failure.failure = FailureKind::UnexpectedReply;
        failure.message = Capitalised(m_link->peer()) + " did not answer for each variable asked for.";
        return failed(events.size() == 1 ? events.front() : failure);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        RouterValue value{names[i], std::nullopt};
        if (events[i].kind == ConversationEventKind::ValueRead) {
            value.value = events[i].value;
        }
        reading.values.push_back(std::move(value));
    }
    m_lastReading = reading;
    result.reading = std::move(reading);
    return result;
}

ApplyResult RouterSession::apply(const std::vector<PartitionBounds>& repair, const RouterReading* expected,
                                 const RouterProgressSink& progress) {
    for (std::size_t i = 0; i < repair.size(); ++i) {
        if (repair[i].number < 0 || repair[i].number > 5 ||
            (i > 0 && repair[i].number <= repair[i - 1].number)) {
            throw std::invalid_argument("a repair holds partitions 0 to 5 in rising order");
        }
        if (IsFixedBlock(repair[i].number)) {
            throw std::invalid_argument("a repair never writes the boot block or the configuration block");
        }
    }
    if (!m_lastReading) {
        throw std::logic_error("a repair follows a successful read of the same session");
    }
    ApplyResult result;
    if (expected && !m_lastReading->sameValues(*expected)) {
        result.changedSinceRead = true;
        result.message = Capitalised(m_link->peer()) +
                         " no longer holds the values read before; nothing was written. Read it again.";
        return result;
    }
    {
        std::lock_guard lock(m_mutex);
        m_writing = true;
    }
    const auto report = [&progress](RouterProgress::Stage stage, std::string text) {
        if (progress) {
            progress(RouterProgress{stage, std::move(text), {}});
        }
    };
    for (const PartitionBounds& bounds : repair) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopRequested) {
                result.stoppedOnRequest = true;
                result.message = "Stopped on request before " + NameOf(bounds) + " was written.";
                break;
            }
        }
        PartitionWrite write;
        write.name = NameOf(bounds);
        const ConversationEvent reply = m_link->writePartition(bounds, &write.sent);
        if (!write.sent.empty()) {
            report(RouterProgress::Stage::Writing,
                   "sent " + write.sent + ": " +
                       (reply.reply.empty() ? std::string("no reply") : reply.reply));
        }
        write.reply = reply.reply;
        if (reply.kind == ConversationEventKind::Failure) {
            result.failure = reply.failure;
            result.message = reply.message;
            // A connection that had ended or was cancelled before sent nothing: no write to report.
            if (!write.sent.empty()) {
                result.writes.push_back(std::move(write));
            }
            break;
        }
        // A refused write is read back too: the owner needs to know what the router holds now.
        const ConversationEvent readBack = m_link->readValue(write.name);
        if (readBack.kind == ConversationEventKind::ValueRead) {
            write.readBackValue = readBack.value;
            write.readBack = ParsePartitionValue(bounds.number, readBack.value);
        }
        const bool accepted = reply.kind == ConversationEventKind::WriteAccepted;
        write.ok = accepted && write.readBack == bounds;
        if (readBack.kind == ConversationEventKind::Failure) {
            report(RouterProgress::Stage::ReadBack, write.name + " could not be read back");
            result.failure = readBack.failure;
            result.message = readBack.message;
            result.writes.push_back(std::move(write));
            break;
        }
        report(RouterProgress::Stage::ReadBack,
               "read back " + write.name + ": " + ReadBackText(write) +
                   (write.readBack == bounds ? " (as calculated)" : " (not as calculated)"));
        const bool ok = write.ok;
        result.writes.push_back(std::move(write));
        const PartitionWrite& done = result.writes.back();
        if (!accepted) {
            result.message = Capitalised(m_link->peer()) + " refused " + done.sent + " with \"" + done.reply +
                             "\"; nothing more was written.";
            break;
        }
        if (!ok) {
            result.message = done.name + " reads back as " + ReadBackText(done) +
                             " instead of the calculated " + RangeText(bounds) +
                             "; nothing more was written.";
            break;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_writing = false;
    }
    result.ok = result.writes.size() == repair.size() && result.message.empty();
    for (const auto& write : result.writes) {
        result.ok = result.ok && write.ok;
    }
    return result;
}

void RouterSession::cancel() {
    m_link->cancel();
}

void RouterSession::stopAfterCurrent() {
    std::lock_guard lock(m_mutex);
    m_stopRequested = true;
    if (!m_writing) {
        m_link->cancel();
    }
}

bool RouterSession::stopRequested() const {
    std::lock_guard lock(m_mutex);
    return m_stopRequested;
}

const RouterAddress& RouterSession::address() const {
    static const RouterAddress none{};
    return m_address ? *m_address : none;
}

std::string RouterSession::where() const {
    return m_link->where();
}

RouterLink& RouterSession::link() {
    return *m_link;
}

const std::string& RouterSession::user() const {
    return m_options.user;
}

const std::string& RouterSession::transcript() const {
    return m_link->transcript();
}

std::vector<PartitionBounds> RepairPartitions(const RouterComparison& comparison) {
    std::vector<PartitionBounds> repair;
    if (comparison.matched >= comparison.blocks.size()) {
        return repair;
    }
    for (const auto& partition : comparison.blocks[comparison.matched].partitions) {
        if ((partition.status == PartitionStatus::Differs || partition.status == PartitionStatus::Missing ||
             partition.status == PartitionStatus::Unreadable) &&
            partition.calculated && !IsFixedBlock(partition.number)) {
            repair.push_back(*partition.calculated);
        }
    }
    return repair;
}

bool IsFixedBlock(int number) {
    return number == 2 || number == 3;
}

} // namespace flintor
