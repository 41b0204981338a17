#pragma once

#include "CompareHost.h"
#include "RouterSession.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QRadioButton;

/// A way to the router that can be used: its FTP server at an address, or its console on a serial port.
struct RouterReach {
    std::optional<flintor::RouterAddress> address; ///< the FTP server's; none for the console
    QString port;                                  ///< the serial port as the owner named it
    unsigned baudRate = flintor::kDefaultBaudRate;

    /// "at 192.168.1.1" (the boot loader's port left out), "on the console /dev/ttyUSB0": for "the router
    /// ...".
    QString where() const;
    /// A new session with the router this way, with the login (over FTP) and the times of options.
    std::unique_ptr<flintor::RouterSession> session(const flintor::RouterSessionOptions& options) const;
    /// The command that sets bounds this way: SETENV over FTP, setenv at the console.
    QString setenvCommand(const flintor::PartitionBounds& bounds) const;
};

/// The choice of how the comparison dialog reaches the router: "Network" with the router address box,
/// or "Serial port" with an editable list of the ports present (listed again each time it is shown) and a
/// list of speeds. Choosing one by its access key goes on to its first box. The address, the choice, the
/// port and the speed used come from the host and are kept by it.
///
/// The parts have object names ("networkOption", "routerAddress", "serialOption", "serialPort",
/// "serialSpeed") by which tests find them.
class RouterLinkChooser : public QWidget {
    Q_OBJECT

public:
    /// Lists the serial ports present (SerialPortNames).
    using PortLister = std::function<std::vector<std::string>()>;

    RouterLinkChooser(CompareHost& host, QWidget* parent);

    /// The way chosen, then kept by the host; none when it cannot be used, and why in error.
    std::optional<RouterReach> useChoice(QString& error);
    /// The serial port is chosen.
    bool serialChosen() const;
    /// Why a firmware image cannot be written the way chosen, for the owner; empty over the network.
    QString imageWriteRefusal() const;
    /// Replaces the listing of the ports present, so that tests list their own.
    void setPortLister(PortLister lister) { m_portLister = std::move(lister); }
    /// Lists the ports present again, keeping the port named.
    void refreshPorts();
    /// The first and the last of its controls in the tab order.
    QWidget* firstControl() const;
    QWidget* lastControl() const;

signals:
    /// Enter was pressed in the address box or the port list.
    void submitted();
    /// The owner chose the other way.
    void choiceChanged();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showChoice();

    CompareHost& m_host;
    PortLister m_portLister;
    QRadioButton* m_network = nullptr;
    QRadioButton* m_serial = nullptr;
    QWidget* m_networkRow = nullptr;
    QWidget* m_serialRow = nullptr;
    QLineEdit* m_address = nullptr;
    QComboBox* m_port = nullptr;
    QComboBox* m_speed = nullptr;
    QString m_offered; // the port the list offered by itself, which the owner has not used yet
};
