#include "Arguments.h"

#include "BootLoaderConversation.h"
#include "SerialConnection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace flintor::cli {

namespace {

constexpr std::array<std::string_view, 9> kMtd5Choices = {"none", "64K",  "128K", "192K", "256K",
                                                          "320K", "384K", "448K", "max"};
constexpr std::array<std::string_view, 4> kOutputForms = {"standard", "pctool", "ftp", "telnet"};

// An hour: a router that has not answered by then is not being switched on.
constexpr int kLongestWait = 3600;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A plain decimal number: optional sign, digits with an optional fraction, optional exponent.
bool IsDecimalNumber(std::string_view text) {
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        ++pos;
    }
    std::size_t digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            ++pos;
        }
        std::size_t exponentDigits = 0;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    return pos == text.size();
}

bool IsHexDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

bool EndsWithMb(std::string_view text) {
    return text.size() >= 2 && (text[text.size() - 2] == 'M' || text[text.size() - 2] == 'm') &&
           (text.back() == 'B' || text.back() == 'b');
}

bool ParseFlash(std::string_view value, CliOptions& options) {
    if (value == "unknown") {
        options.memoryOption = 4;
        return true;
    }
    if ((value.starts_with("0x") || value.starts_with("0X")) && IsHexDigits(value.substr(2))) {
        options.memoryOption = 3;
        options.sizeInHex = value.substr(2);
        return true;
    }
    if (EndsWithMb(value)) {
        const std::string_view number = value.substr(0, value.size() - 2);
        if (number == "2" || number == "4") {
            options.memoryOption = number == "2" ? 0 : 1;
            return true;
        }
        if (IsDecimalNumber(number)) {
            options.memoryOption = 2;
            options.sizeInMb = number;
            return true;
        }
    }
    return false;
}

template <std::size_t N>
std::optional<int> IndexOf(const std::array<std::string_view, N>& names, std::string_view value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == value) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

ParseResult Error(std::string text) {
    return ParseResult{std::nullopt, std::move(text)};
}

// What --write-image, --backup and --reboot need of each other.
std::string ImageWriteChoicesProblem(CliOptions& options) {
    options.apply = options.apply || options.writeImage;
    if (options.reboot && !options.writeImage) {
        return "--reboot needs --write-image";
    }
    if (options.backup && options.record && *options.backup == *options.record) {
        return "--backup and --record name the same file";
    }
    return {};
}

} // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
    CliOptions options;
    bool mtd5Given = false;
    std::string linkOnly;  // an option that only a link to the router uses (--router or --serial)
    std::string loginOnly; // an option of the FTP login, which the console does not ask for
    std::string routerOnly; // an option of the image area, which only the FTP server reads and writes
    bool baudGiven = false;
    bool writeImage = false; // the image goes over the network only, never through the console
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (options.image) {
                return Error("only one IMAGE may be given");
            }
            options.image = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        writeImage = writeImage || name == "--write-image";
        const bool takesValue = name == "--flash" || name == "--bootloader" || name == "--mtd5" ||
                                name == "--output" || name == "--compare" || name == "--router" ||
                                name == "--user" || name == "--password" || name == "--wait" ||
                                name == "--record" || name == "--serial" || name == "--baud" ||
                                name == "--backup";
        if (!takesValue) {
            if (value) {
                return Error("option " + name + " takes no value");
            }
            if (name == "--include-filename") {
                options.includeFileName = true;
            } else if (name == "--json") {
                options.json = true;
            } else if (name == "--apply") {
                options.apply = true;
                linkOnly = name;
            } else if (name == "--write-image" || name == "--reboot") {
                (name == "--reboot" ? options.reboot : options.writeImage) = true;
                routerOnly = name;
            } else if (name == "--help" || name == "-h") {
                options.help = true;
            } else if (name == "--version") {
                options.version = true;
            } else {
                return Error("unknown option " + name);
            }
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                return Error("option " + name + " needs a value");
            }
            value = args[++i];
        }
        if (name == "--flash") {
            if (!ParseFlash(*value, options)) {
                return Error("--flash takes 2MB, 4MB, unknown, <number>MB or 0x<hex digits>, not \"" +
                             *value + "\"");
            }
        } else if (name == "--bootloader") {
            if (*value != "adam2" && *value != "psp") {
                return Error("--bootloader takes adam2 or psp, not \"" + *value + "\"");
            }
            options.adam2 = *value == "adam2";
            options.psp = !options.adam2;
        } else if (name == "--compare") {
            if (value->empty()) {
                return Error("--compare takes the router capture's file, or - for standard input");
            }
            options.compare = *value;
        } else if (name == "--router") {
            if (value->empty()) {
                return Error("--router takes the boot loader's address, HOST or HOST:PORT");
            }
            // A second address could be a typo in a script: which router is meant is not for us to guess.
            if (options.router) {
                return Error("--router may be given once");
            }
            options.router = *value;
        } else if (name == "--serial") {
            if (value->empty()) {
                return Error("--serial takes the serial port of the router's console, such as /dev/ttyUSB0 "
                             "or COM3");
            }
            if (options.serial) {
                return Error("--serial may be given once");
            }
            options.serial = *value;
        } else if (name == "--baud") {
            const auto speed =
                std::find_if(kConsoleBaudRates.begin(), kConsoleBaudRates.end(),
                             [&value](unsigned rate) { return *value == std::to_string(rate); });
            if (speed == kConsoleBaudRates.end()) {
                std::string speeds;
                for (const unsigned rate : kConsoleBaudRates) {
                    speeds += (speeds.empty()                     ? ""
                               : rate == kConsoleBaudRates.back() ? " or "
                                                                  : ", ") +
                              std::to_string(rate);
                }
                return Error("--baud takes " + speeds + ", not \"" + *value + "\"");
            }
            options.baudRate = *speed;
            baudGiven = true;
        } else if (name == "--user" || name == "--password") {
            // The text of a refused password is not repeated: it may be the right one, mistyped.
            if (!BootLoaderConversation::IsSendableText(*value) || (name == "--user" && value->empty())) {
                return Error(name == "--user"
                                 ? "--user takes a name of 1 to 256 bytes without control characters"
                                 : "--password takes at most 256 bytes without control characters");
            }
            (name == "--user" ? options.user : options.password) = *value;
            loginOnly = name;
        } else if (name == "--wait") {
            const bool digits =
                !value->empty() && value->size() <= 5 && std::all_of(value->begin(), value->end(), IsDigit);
            if (!digits || std::stoi(*value) > kLongestWait) {
                return Error("--wait takes a whole number of seconds from 0 to " +
                             std::to_string(kLongestWait) + ", not \"" + *value + "\"");
            }
            options.waitSeconds = std::stoi(*value);
            linkOnly = name;
        } else if (name == "--record") {
            if (value->empty()) {
                return Error("--record takes the name of a file to create");
            }
            options.record = *value;
            linkOnly = name;
        } else if (name == "--backup") {
            if (value->empty()) {
                return Error("--backup takes the name of a file to create");
            }
            options.backup = *value;
            routerOnly = name;
        } else if (name == "--mtd5") {
            const auto choice = IndexOf(kMtd5Choices, *value);
            if (!choice) {
                return Error("--mtd5 takes none, 64K, 128K, 192K, 256K, 320K, 384K, 448K or max, not \"" +
                             *value + "\"");
            }
            options.mtd5Choice = *choice;
            mtd5Given = true;
        } else {
            const auto form = IndexOf(kOutputForms, *value);
            if (!form) {
                return Error("--output takes standard, pctool, ftp or telnet, not \"" + *value + "\"");
            }
            options.outputForm = *form;
        }
    }
    if (options.help || options.version) {
        return ParseResult{options, {}};
    }
    if (options.router && options.compare) {
        return Error(
            "--router and --compare cannot be given together: the router's values come from one of them");
    }
    if (options.serial && (options.router || options.compare)) {
        return Error(std::string("--serial and ") + (options.router ? "--router" : "--compare") +
                     " cannot be given together: the router's values come from one of them");
    }
    if (options.serial && writeImage) {
        return Error("--write-image needs --router: an image goes over the network, never through the "
                     "serial console");
    }
    if (!linkOnly.empty() && !options.router && !options.serial) {
        return Error(linkOnly + " needs --router or --serial");
    }
    if (!routerOnly.empty() && !options.router) {
        return Error(routerOnly + " needs --router: the image area is read and written over the network only");
    }
    if (!loginOnly.empty() && !options.router) {
        return Error(loginOnly + " needs --router: the serial console asks for no login");
    }
    if (baudGiven && !options.serial) {
        return Error("--baud needs --serial");
    }
    if (const std::string problem = ImageWriteChoicesProblem(options); !problem.empty()) {
        return Error(problem);
    }
    // As in the window, an mtd5 size can be requested only for the PSP boot loader; a comparison may
    // learn the boot loader from the router capture, and checks it then.
    const bool comparing = options.compare || options.router || options.serial;
    if (mtd5Given && !options.psp && !(comparing && !options.adam2)) {
        return Error("--mtd5 needs --bootloader psp");
    }
    return ParseResult{options, {}};
}

std::string UsageText() {
    return "Usage: flintor-calc --flash SIZE --bootloader adam2|psp [--mtd5 CHOICE] [--output FORM]\n"
           "                    [--include-filename] [--json] IMAGE\n"
           "       flintor-calc --compare CAPTURE [--flash SIZE] [--bootloader adam2|psp] [--mtd5 CHOICE]\n"
           "                    [--output FORM] [--json] IMAGE\n"
           "       flintor-calc --router HOST[:PORT] [--user NAME] [--password WORD] [--wait SECONDS]\n"
           "                    [--apply | --write-image [--reboot]] [--backup FILE] [--record FILE]\n"
           "                    [--flash SIZE] [--bootloader adam2|psp] [--mtd5 CHOICE] [--output FORM]\n"
           "                    [--json] IMAGE\n"
           "       flintor-calc --serial DEVICE [--baud N] [--wait SECONDS] [--apply] [--record FILE]\n"
           "                    [--flash SIZE] [--bootloader adam2|psp] [--mtd5 CHOICE] [--output FORM]\n"
           "                    [--json] IMAGE\n"
           "       flintor-calc --help | --version\n";
}

std::string HelpText() {
    return UsageText() +
           "\n"
           "Computes the mtd0..mtd5 partition boundaries that an Adam2 or PSP boot loader needs for a\n"
           "combined firmware image, and prints them as the results box of Flintor's window would.\n"
           "\n"
           "  --flash SIZE          flash ROM size: 2MB, 4MB, unknown, <number>MB (such as 8MB or 1.5MB)\n"
           "                        or 0x<hex digits> (such as 0x3F0000)\n"
           "  --bootloader LOADER   adam2 or psp\n"
           "  --mtd5 CHOICE         PSP only: extra mtd5 partition of none (default), 64K, 128K, 192K,\n"
           "                        256K, 320K, 384K, 448K, or max (as large as fits)\n"
           "  --output FORM         standard (default), pctool (setenv lines), ftp (quote SETENV lines)\n"
           "                        or telnet (SEND lines of a Telnet script)\n"
           "  --include-filename    put the image's file name first\n"
           "  --json                print one JSON object with the image, the layouts and the messages\n"
           "  --compare CAPTURE     compare with the router's current values, read from CAPTURE (what\n"
           "                        printenv, quote GETENV or /proc/ticfg/env printed; - reads standard\n"
           "                        input); --flash and --bootloader may then be left out, or the flash\n"
           "                        given as unknown, to take them from the capture. Prints the\n"
           "                        partitions side by side, the commands that repair what differs and\n"
           "                        the commands that restore the router's values\n"
           "  --router HOST[:PORT]  compare as --compare does, with the values read from the router's\n"
           "                        boot loader over FTP (port 21 unless given; most routers answer at\n"
           "                        192.168.1.1 for a few seconds after power-on); nothing is written\n"
           "                        to the router without --apply\n"
           "  --user NAME           the boot loader's login name (default adam2)\n"
           "  --password WORD       its password (default adam2); never printed or recorded\n"
           "  --serial DEVICE       compare as --router does, with the values read at the boot loader's\n"
           "                        serial console on DEVICE (such as /dev/ttyUSB0, or COM3 on Windows):\n"
           "                        switch the router on when asked, Flintor presses ESC for you to stop\n"
           "                        it at the boot loader's prompt\n"
           "  --baud N              the console's speed: 38400 (default), 115200, 57600, 19200, 9600,\n"
           "                        4800, 2400 or 1200\n"
           "  --wait SECONDS        how long to keep trying to reach the router, or to wait for its\n"
           "                        console's prompt (default 60)\n"
           "  --apply               repair the router: its values are first saved in a record, then each\n"
           "                        partition that differs, is missing or unreadable is set and read\n"
           "                        back; writing stops at the first failure. mtd2 (the boot block) and\n"
           "                        mtd3 (the configuration block) are never written: when the router's\n"
           "                        differ from the calculated ones, nothing is written\n"
           "  --record FILE         save the router's values as read in FILE, a new file that --compare\n"
           "                        reads later; --apply saves them in\n"
           "                        flintor-router-YYYYMMDD-HHMMSS.txt when FILE is not given\n"
           "  --write-image         write IMAGE into the router's image area (mtd4), then repair the\n"
           "                        values as --apply does. Only an intact image (its checksum trailer,\n"
           "                        when it has one, matches) with a kernel where mtd1 begins is written,\n"
           "                        and only when the router's mtd2 and mtd3 are where the layout puts\n"
           "                        them; mtd4 is set and read back before the first byte of the image.\n"
           "                        The image is read back from the router where it can send it\n"
           "  --backup FILE         before anything is written, copy the router's whole image area\n"
           "                        (mtd4) into FILE, a new file; also without --write-image\n"
           "  --reboot              with --write-image: restart the router as the last step, when every\n"
           "                        step before it succeeded\n"
           "  --help                show this text\n"
           "  --version             show the version\n"
           "\n"
           "Messages and progress go to standard error. Exit status: 0 success, 1 the image, the\n"
           "choices, the capture, the serial port's name or a record or backup file were rejected, 2\n"
           "usage error, 3 (--compare, --router, --serial) the router's values differ from the\n"
           "calculated ones, 4 (--router, --serial) the router could not be read (or its serial port not\n"
           "opened, or it could not send its image area for --backup) and nothing was written, 5\n"
           "(--apply, --write-image) a write was refused or broken off, or what was written reads back\n"
           "differently, 6 (--apply, --write-image) the router's layout forbids the write: its mtd2 or\n"
           "mtd3 is not where the calculated layout puts it, and nothing was written.\n";
}

} // namespace flintor::cli
