#pragma once

// The command line of flintor-calc, parsed into the choices the window would offer.

#include <optional>
#include <string>
#include <vector>

namespace flintor::cli {

/// The options of one flintor-calc command line.
struct CliOptions {
    std::optional<int> memoryOption; ///< optMem index 0..4 chosen by --flash; none without --flash
    std::string sizeInMb;            ///< the number of --flash <number>MB, as typed
    std::string sizeInHex;           ///< the digits of --flash 0x<digits>, as typed
    bool psp = false;                ///< --bootloader psp
    bool adam2 = false;              ///< --bootloader adam2
    int mtd5Choice = 0;              ///< index into the cboMTD5 list: 0 none, 1..7 64K..448K, 8 max
    int outputForm = 0;              ///< optOut index: standard, pctool, ftp, telnet
    bool includeFileName = false;
    bool json = false;
    bool help = false;
    bool version = false;
    std::optional<std::string> compare; ///< --compare: the router capture's path, "-" for standard input
    std::optional<std::string> router;  ///< --router: HOST[:PORT] of the boot loader's FTP server, as typed
    std::optional<std::string> serial;  ///< --serial: the serial port of the boot loader's console, as typed
    unsigned baudRate = 38400;          ///< --baud: the console's speed
    std::string user = "adam2";         ///< --user
    std::string password = "adam2";     ///< --password; never printed
    int waitSeconds = 60;               ///< --wait: how long the router may take to answer at power-on
    bool apply = false;                 ///< --apply: write the repair to the router
    std::optional<std::string> record;  ///< --record: the file that keeps the router's values as read
    bool writeImage = false;            ///< --write-image: write IMAGE into mtd4 (implies apply)
    std::optional<std::string> backup;  ///< --backup: the new file that keeps a copy of the router's mtd4
    bool reboot = false;                ///< --reboot: restart the router after a write that succeeded
    std::optional<std::string> image;   ///< the IMAGE operand; none when missing
};

/// A parsed command line, or why it is not one.
struct ParseResult {
    std::optional<CliOptions> options; ///< set when the command line is valid
    std::string error;                 ///< the usage error otherwise
};

/// Parses the arguments after the program name. Options take their value as the next argument or after
/// "="; "--" ends the options. --help and --version win over everything else that parses.
ParseResult ParseArguments(const std::vector<std::string>& args);

/// The short usage text printed with a usage error.
std::string UsageText();
/// The --help text.
std::string HelpText();

} // namespace flintor::cli
