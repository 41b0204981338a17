#include "CalcCommand.h"

#include "Calculation.h"
#include "CompareCommand.h"
#include "ImageWriteCommand.h"
#include "RouterCommand.h"

#ifndef FLINTOR_VERSION
#define FLINTOR_VERSION "1.0.1"
#endif

namespace flintor::cli {

int RunCalculation(CliOptions options, std::ostream& out, std::ostream& err, std::istream& in) {
    if (options.router && (options.writeImage || options.backup)) {
        return RunImageWriteCommand(std::move(options), out, err);
    }
    if (options.router || options.serial) {
        return RunRouterCommand(std::move(options), out, err);
    }
    std::optional<RouterCapture> capture;
    if (options.compare) {
        int status = kExitRejected;
        capture = PrepareComparison(options, ReadCompareCapture(*options.compare, in), err, status);
        if (!capture) {
            return status;
        }
    }
    const CalculationRun run = Calculate(options, err);
    if (!run.details) {
        return kExitRejected;
    }
    if (!capture) {
        out << (options.json ? JsonText(CalculationJson(options, run)) : run.text);
        out.flush();
        return kExitSuccess;
    }
    const RouterComparison comparison = CompareCalculation(*run.details, *capture, options, err);
    if (options.json) {
        Json document = CalculationJson(options, run);
        AddComparisonJson(document, *capture, comparison);
        out << JsonText(document);
    } else {
        out << ComparisonText(comparison);
    }
    out.flush();
    return comparison.allSame() ? kExitSuccess : kExitDiffers;
}

int RunFlintorCalc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::istream& in) {
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.options) {
        err << kPrefix << parsed.error << '\n' << UsageText();
        return kExitUsage;
    }
    if (parsed.options->help) {
        out << HelpText();
        return kExitSuccess;
    }
    if (parsed.options->version) {
        out << "flintor-calc " FLINTOR_VERSION "\n";
        return kExitSuccess;
    }
    return RunCalculation(*parsed.options, out, err, in);
}

} // namespace flintor::cli
