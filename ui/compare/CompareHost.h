#pragma once

#include "SerialConnection.h"
#include "Workflow.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class OrvoPartitions;
class QObject;

/// The router address the comparison offers until the owner keeps another: the common one of these routers.
inline constexpr const char* kDefaultRouterAddress = "192.168.1.1";

/// How the comparison reaches the router: over the network (at the router address) or at its console on
/// a serial port.
struct RouterLinkChoice {
    bool serial = false;
    QString port; ///< the serial port last named; empty when none
    unsigned baudRate = flintor::kDefaultBaudRate;
    bool operator==(const RouterLinkChoice&) const = default;
};

/// What the comparison with the router needs from the window it compares for (frmMain): the window's
/// choices and last calculation, word when either changes, and the one thing it asks of the window,
/// to use the settings a capture reveals, and the router address and way to the router it keeps with its
/// settings.
class CompareHost {
public:
    virtual ~CompareHost() = default;

    /// The window's choices as the Calculate command reads them: boot loader, flash size, output form.
    virtual flintor::WorkflowInputs inputs() const = 0;
    /// The last successful calculation; nullopt before it.
    virtual const std::optional<flintor::CalculationDetails>& lastCalculation() const = 0;
    /// Calls `changed` each time a choice changes or a calculation completes, for as long as
    /// `receiver` lives.
    virtual void watchChoices(QObject* receiver, std::function<void()> changed) = 0;
    /// The caption of output form `form` (0 to 3) as the window shows it; empty for another number.
    virtual QString outputFormName(int form) const = 0;
    /// The window's partition map, whose label font, colours and filling the comparison's maps share.
    virtual const OrvoPartitions& partitionMap() const = 0;
    /// Checks the boot loader box and selects the flash size option for the values given; a value not
    /// given leaves its choice as it is ("Use these settings").
    virtual void useRouterSettings(std::optional<bool> adam2, std::optional<std::int64_t> flashSize) = 0;
    /// The router address to offer, as the owner last gave it; kDefaultRouterAddress when none is kept or
    /// the one kept is no address.
    virtual QString routerAddress() const = 0;
    /// Keeps `address` (a valid one) as the router address, stored with the window's settings.
    virtual void setRouterAddress(const QString& address) = 0;
    /// The way to the router to offer, as the owner last used it; the network when none is kept, and
    /// no port or the default speed for one kept that cannot be used.
    virtual RouterLinkChoice routerLink() const = 0;
    /// Keeps `choice` (with a usable port or none), stored with the window's settings.
    virtual void setRouterLink(const RouterLinkChoice& choice) = 0;
};
