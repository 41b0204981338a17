// flintor-calc's command line: the fuzzer's lines are the arguments, run in process against two sample
// images copied into a scratch folder (named psp.bin and adam2.bin there).

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
    fuzz::check(::chdir(folder.c_str()) == 0, "chdir");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = fuzz::split(data, size, '\n');
    if (size == 0)
        args.clear();
    const std::string joined(reinterpret_cast<const char*>(data), size);

    const flintor::cli::ParseResult parsed = flintor::cli::ParseArguments(args);
    fuzz::check(parsed.options.has_value() == parsed.error.empty(), "options and error together", joined);

    std::ostringstream out;
    std::ostringstream err;
    const int status = flintor::cli::RunFlintorCalc(args, out, err);
    switch (status) {
    case flintor::cli::kExitSuccess:
        fuzz::check(parsed.options.has_value() && !out.str().empty(), "success without output", joined);
        if (!parsed.options->json && !parsed.options->help && !parsed.options->version) {
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
    case flintor::cli::kExitUsage:
        fuzz::check(!parsed.options.has_value(), "usage error on a valid command line", joined);
        fuzz::check(out.str().empty() && !err.str().empty(), "usage error without its message", joined);
        break;
    default:
        fuzz::fail("exit status", joined);
    }
    return 0;
}
