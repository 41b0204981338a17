// flintor-calc's command line: the fuzzer's lines are the arguments, run in process against two sample
// images and a router capture copied into a scratch folder (named psp.bin, adam2.bin and capture.txt
// there); "--compare -" reads a PSP capture from a string. Command lines with --router or --serial are only
// parsed.

#include "Arguments.h"
#include "CalcCommand.h"
#include "FuzzSupport.h"

#include <filesystem>
#include <sstream>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::filesystem::path folder = fuzz::scratchFolder();
    std::filesystem::copy_file(FLINTOR_SAMPLES_DIR "/psp-4mb.bin", folder / "psp.bin");
    std::filesystem::copy_file(FLINTOR_SAMPLES_DIR "/adam2-4mb.bin", folder / "adam2.bin");
    std::filesystem::copy_file(FLINTOR_SAMPLES_DIR "/captures/psp-printenv.txt", folder / "capture.txt");
    fuzz::check(::chdir(folder.c_str()) == 0, "chdir");
    // A command line with --router or --serial is parsed but not run: it would talk to a network or open a
    // serial port. Should one with --router run all the same, nothing but loopback could be reached.
    fuzz::check(::setenv("FLINTOR_LOOPBACK_ONLY", "1", 1) == 0, "setenv");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = fuzz::split(data, size, '\n');
    if (size == 0)
        args.clear();
    const std::string joined(reinterpret_cast<const char*>(data), size);

    const flintor::cli::ParseResult parsed = flintor::cli::ParseArguments(args);
    fuzz::check(parsed.options.has_value() == parsed.error.empty(), "options and error together", joined);
    if (parsed.options && (parsed.options->router || parsed.options->serial)) {
        return 0;
    }

    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in("(psbl) printenv\nmtd0 0x90022000,0x90400000\nmtd2 0x90000000,0x90010000\n"
                          "mtd3 0x90010000,0x90020000\nmtd4 0x90020000,0x90400000\n");
    const int status = flintor::cli::RunFlintorCalc(args, out, err, in);
    const bool comparing = parsed.options && parsed.options->compare;
    switch (status) {
    case flintor::cli::kExitSuccess:
        fuzz::check(parsed.options.has_value() && !out.str().empty(), "success without output", joined);
        if (!parsed.options->json && !parsed.options->help && !parsed.options->version && !comparing) {
            // With --include-filename the first line is the file's name, whatever it says.
            const std::string text = out.str();
            fuzz::checkResultAddresses(parsed.options->includeFileName ? text.substr(text.find('\n') + 1)
                                                                       : text);
        }
        break;
    case flintor::cli::kExitRejected:
        fuzz::check(parsed.options.has_value(), "rejected a command line that does not parse", joined);
        fuzz::check(out.str().empty() && !err.str().empty(), "rejection without its message", joined);
        break;
    case flintor::cli::kExitDiffers:
        fuzz::check(comparing && !out.str().empty(), "a difference without a comparison", joined);
        break;
    case flintor::cli::kExitUsage:
        // A comparison learns the boot loader from the capture, and only then can refuse --mtd5 for Adam2.
        fuzz::check(!parsed.options.has_value() || comparing, "usage error on a valid command line", joined);
        fuzz::check(out.str().empty() && !err.str().empty(), "usage error without its message", joined);
        break;
    default:
        fuzz::fail("exit status", joined);
    }
    return 0;
}
