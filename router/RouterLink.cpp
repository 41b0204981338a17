#include "RouterLink.h"

namespace flintor {

namespace {

class FtpLink final : public RouterLink {
public:
    FtpLink(RouterAddress address, std::string user, std::string password, ConnectionOptions options)
        : m_connection(std::move(address), options), m_user(std::move(user)),
          m_password(std::move(password)) {}

    ConversationEvent open(const RouterProgressSink& progress) override {
        return m_connection.open(m_user, m_password, progress);
    }

    std::vector<ConversationEvent> readValues(const std::vector<std::string>& names) override {
        // GETENV asks for one variable at a time.
        std::vector<ConversationEvent> events;
        for (const std::string& name : names) {
            events.push_back(m_connection.readValue(name));
            if (events.back().kind == ConversationEventKind::Failure) {
                return {events.back()};
            }
        }
        return events;
    }

    ConversationEvent readValue(std::string_view name) override { return m_connection.readValue(name); }

    ConversationEvent writePartition(const PartitionBounds& bounds, std::string* sent) override {
        return m_connection.writePartition(bounds, sent);
    }

    void cancel() override { m_connection.cancel(); }
    std::string where() const override { return "at " + m_connection.address().text(); }
    const std::string& banner() const override { return m_connection.banner(); }
    const std::string& transcript() const override { return m_connection.transcript(); }
    RouterConnection* ftp() override { return &m_connection; }

private:
    RouterConnection m_connection;
    std::string m_user;
    std::string m_password;
};

class ConsoleLink final : public RouterLink {
public:
    ConsoleLink(std::string device, SerialOptions options) : m_connection(std::move(device), options) {}

    ConversationEvent open(const RouterProgressSink& progress) override {
        ConversationEvent event = m_connection.open(progress);
        // The console needs no login: its prompt is the boot loader ready for commands.
        if (event.kind == ConversationEventKind::Banner) {
            event.kind = ConversationEventKind::LoggedIn;
        }
        return event;
    }

    std::vector<ConversationEvent> readValues(const std::vector<std::string>& names) override {
        return m_connection.readValues(names);
    }

    ConversationEvent readValue(std::string_view name) override { return m_connection.readValue(name); }

    ConversationEvent writePartition(const PartitionBounds& bounds, std::string* sent) override {
        return m_connection.writePartition(bounds, sent);
    }

    void cancel() override { m_connection.cancel(); }
    std::string where() const override { return "on the console " + m_connection.device(); }
    const std::string& banner() const override { return m_connection.banner(); }
    const std::string& transcript() const override { return m_connection.transcript(); }
    const SerialConnection* console() const override { return &m_connection; }

private:
    SerialConnection m_connection;
};

} // namespace

std::unique_ptr<RouterLink> MakeFtpLink(RouterAddress address, std::string user, std::string password,
                                        ConnectionOptions options) {
    return std::make_unique<FtpLink>(std::move(address), std::move(user), std::move(password), options);
}

std::unique_ptr<RouterLink> MakeConsoleLink(std::string device, SerialOptions options) {
    return std::make_unique<ConsoleLink>(std::move(device), options);
}

} // namespace flintor
