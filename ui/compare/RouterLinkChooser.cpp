#include "RouterLinkChooser.h"

#include "TextConversion.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

QString RouterReach::where() const {
    if (!address)
        return QStringLiteral("on the console %1").arg(port);
    // The boot loader's port goes without saying.
    return QStringLiteral("at %1").arg(
        fromStd(address->port == flintor::kFtpPort ? address->host : address->text()));
}

std::unique_ptr<flintor::RouterSession>
RouterReach::session(const flintor::RouterSessionOptions& options) const {
    if (address)
        return std::make_unique<flintor::RouterSession>(*address, options);
    // The owner's wait for the power-on and patience with each reply are the same on either link.
    flintor::SerialOptions serial;
    serial.baudRate = baudRate;
    serial.wait = options.connection.wait;
    serial.replyTimeout = options.connection.replyTimeout;
    return std::make_unique<flintor::RouterSession>(flintor::MakeConsoleLink(port.toStdString(), serial));
}

QString RouterReach::setenvCommand(const flintor::PartitionBounds& bounds) const {
    return fromStd(address ? flintor::SetenvCommand(bounds) : flintor::ConsoleSetenvCommand(bounds));
}

RouterLinkChooser::RouterLinkChooser(CompareHost& host, QWidget* parent)
    : QWidget(parent), m_host(host), m_portLister([] { return flintor::SerialPortNames(); }) {
    const RouterLinkChoice kept = m_host.routerLink();
    m_network = new QRadioButton(QStringLiteral("Networ&k"), this);
    m_network->setObjectName(QStringLiteral("networkOption"));
    m_network->setAccessibleName(QStringLiteral("Network"));
    m_network->setToolTip(QStringLiteral("Reach the boot loader's FTP server at the router's address"));
    m_serial = new QRadioButton(QStringLiteral("Serial por&t"), this);
    m_serial->setObjectName(QStringLiteral("serialOption"));
    m_serial->setAccessibleName(QStringLiteral("Serial port"));
    m_serial->setToolTip(QStringLiteral("Reach the boot loader's console through a serial adapter on its "
                                        "console header (3.3 V levels)"));
    (kept.serial ? m_serial : m_network)->setChecked(true);

    // One row for each way, in the same place: the choice does not move what is below.
    auto* rows = new QStackedWidget(this);
    m_networkRow = new QWidget(rows);
    m_address = new QLineEdit(m_host.routerAddress(), m_networkRow);
    m_address->setObjectName(QStringLiteral("routerAddress"));
    m_address->setAccessibleName(QStringLiteral("Router address"));
    m_address->setToolTip(
        QStringLiteral("The router's address, with :PORT when its boot loader does not answer on port 21"));
    connect(m_address, &QLineEdit::returnPressed, this, &RouterLinkChooser::submitted);
    auto* addressLabel = new QLabel(QStringLiteral("Router &address:"), m_networkRow);
    addressLabel->setBuddy(m_address);
    auto* networkLayout = new QHBoxLayout(m_networkRow);
    networkLayout->setContentsMargins(0, 0, 0, 0);
    networkLayout->addWidget(addressLabel);
    networkLayout->addWidget(m_address, 1);

    m_serialRow = new QWidget(rows);
    m_port = new QComboBox(m_serialRow);
    m_port->setObjectName(QStringLiteral("serialPort"));
    m_port->setAccessibleName(QStringLiteral("Serial port"));
    m_port->setToolTip(
        QStringLiteral("The serial port of the adapter: one of those present, or type its name"));
    m_port->setEditable(true);
    // Enter reads from the router; it does not add what was typed to the ports present.
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->setEditText(kept.port);
    connect(m_port->lineEdit(), &QLineEdit::returnPressed, this, &RouterLinkChooser::submitted);
    m_speed = new QComboBox(m_serialRow);
    m_speed->setObjectName(QStringLiteral("serialSpeed"));
    m_speed->setAccessibleName(QStringLiteral("Speed"));
    m_speed->setToolTip(QStringLiteral("The console's speed in baud: 38400 on most of these routers"));
    for (const unsigned rate : flintor::kConsoleBaudRates)
        m_speed->addItem(QString::number(rate), rate);
    m_speed->setCurrentIndex(std::max(0, m_speed->findData(kept.baudRate)));
    auto* speedLabel = new QLabel(QStringLiteral("Spee&d:"), m_serialRow);
    speedLabel->setBuddy(m_speed);
    auto* serialLayout = new QHBoxLayout(m_serialRow);
    serialLayout->setContentsMargins(0, 0, 0, 0);
    serialLayout->addWidget(m_port, 1);
    serialLayout->addWidget(speedLabel);
    serialLayout->addWidget(m_speed);

    rows->addWidget(m_networkRow);
    rows->addWidget(m_serialRow);
    auto* options = new QHBoxLayout;
    options->addWidget(m_network);
    options->addWidget(m_serial);
    options->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(options);
    layout->addWidget(rows);

    for (QRadioButton* option : {m_network, m_serial}) {
        option->installEventFilter(this);
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (!checked)
                return;
            showChoice();
            emit choiceChanged();
        });
    }
    setTabOrder(m_serial, m_address);
    setTabOrder(m_address, m_port);
    setTabOrder(m_port, m_speed);
    showChoice();
}

void RouterLinkChooser::showChoice() {
    auto* rows = qobject_cast<QStackedWidget*>(m_networkRow->parentWidget());
    rows->setCurrentWidget(m_serial->isChecked() ? m_serialRow : m_networkRow);
}

bool RouterLinkChooser::serialChosen() const {
    return m_serial->isChecked();
}

QString RouterLinkChooser::imageWriteRefusal() const {
    if (!serialChosen())
        return {};
    return QStringLiteral("Writing the image needs the network connection: the serial console cannot carry "
                          "it. Choose \"Network\" and connect the PC to a LAN port of the router.");
}

std::optional<RouterReach> RouterLinkChooser::useChoice(QString& error) {
    RouterLinkChoice choice;
    choice.serial = serialChosen();
    choice.baudRate = m_speed->currentData().toUInt();
    const QString port = m_port->currentText().trimmed();
    const bool portUsable = !port.isEmpty() && flintor::SerialDevicePathOf(port.toStdString()).error.empty();
    // A port named but not used is kept all the same, when it could be one.
    choice.port = portUsable ? port : m_host.routerLink().port;
    RouterReach reach;
    if (choice.serial) {
        if (!portUsable) {
            error = port.isEmpty()
                        ? QStringLiteral("Choose or type the serial port that the router's console "
                                         "is on.")
                        : fromStd(flintor::SerialDevicePathOf(port.toStdString()).error);
            return std::nullopt;
        }
        reach.port = port;
        reach.baudRate = choice.baudRate;
        m_offered.clear();
    } else {
        const QString typed = m_address->text().trimmed();
        const flintor::RouterAddressParsing parsed = flintor::ParseRouterAddress(typed.toStdString());
        if (!parsed.address) {
            error = fromStd(parsed.error);
            return std::nullopt;
        }
        m_host.setRouterAddress(typed);
        reach.address = parsed.address;
    }
    m_host.setRouterLink(choice);
    return reach;
}

void RouterLinkChooser::refreshPorts() {
    // The first port present is offered until the owner names one: a port offered is no choice to keep
    // once an adapter is plugged in.
    const QString shown = m_port->currentText();
    const QString named = shown == m_offered ? QString() : shown;
    m_port->clear();
    for (const std::string& name : m_portLister ? m_portLister() : std::vector<std::string>())
        m_port->addItem(fromStd(name));
    m_offered = named.isEmpty() && m_port->count() > 0 ? m_port->itemText(0) : QString();
    m_port->setEditText(named.isEmpty() ? m_offered : named);
}

QWidget* RouterLinkChooser::firstControl() const {
    return m_network;
}

QWidget* RouterLinkChooser::lastControl() const {
    return m_speed;
}

void RouterLinkChooser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Adapters come and go between two openings of the dialog.
    refreshPorts();
}

bool RouterLinkChooser::eventFilter(QObject* watched, QEvent* event) {
    // The key of a way chooses it and goes on to its first box: the port list has no key of its own.
    if (event->type() == QEvent::Shortcut && (watched == m_network || watched == m_serial)) {
        qobject_cast<QRadioButton*>(watched)->setChecked(true);
        (watched == m_serial ? static_cast<QWidget*>(m_port) : m_address)->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
