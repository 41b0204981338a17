#include "Calculation.h"

#include "ImageChecks.h"

namespace flintor::cli {

namespace {

// Writes each message to standard error as it arises, in the order the window would show its boxes.
class CommandLineHost : public WorkflowHost {
public:
    explicit CommandLineHost(std::ostream& err) : m_err(err) {}

    void setStatus(const std::string&) override {}
    bool processEvents() override { return true; }
    void showMessage(const std::string& text, MessageKind kind) override {
        m_err << kPrefix << text << '\n';
        m_messages.emplace_back(text, kind);
    }

    // Warnings change no value: they follow the messages on standard error, marked as warnings.
    void setWarnings(const std::vector<std::string>& warnings) override {
        for (const auto& warning : warnings) {
            m_err << kPrefix << "warning: " << warning << '\n';
        }
    }

    const std::vector<std::pair<std::string, MessageKind>>& messages() const { return m_messages; }

private:
    std::ostream& m_err;
    std::vector<std::pair<std::string, MessageKind>> m_messages;
};

// The IMAGE operand as the file list would show it: its folder and the selected name. A path that ends
// in a separator names a folder; its "." is taken as the name so that it is rejected as not being a
// firmware file. On Windows the backslash and "/" both separate (the one found joins folder and name
// again, so the path stays as given), and a drive is kept with its folder: the root of drive C stays the
// root, and "C:fw.bin" names fw.bin in the drive's current folder, "C:.".
void SplitImagePath(const std::string& image, std::string& folder, std::string& name, char& separator) {
#ifdef _WIN32
    const std::size_t drive = image.size() >= 2 && image[1] == ':' ? 2 : 0;
    const auto slash = image.find_last_of("\\/");
    if (slash == std::string::npos && drive > 0) {
        folder = image.substr(0, drive) + ".";
        name = image.substr(drive);
        return;
    }
    const std::size_t root = drive + 1;
#else
    const auto slash = image.rfind('/');
    const std::size_t root = 1;
#endif
    if (slash == std::string::npos) {
        folder.assign(1, '.');
        name = image;
        return;
    }
    separator = image[slash];
    if (slash + 1 == image.size()) {
        folder = image;
        name.assign(1, '.');
    } else {
        folder.assign(image, 0, slash + 1 == root ? root : slash);
        name.assign(image, slash + 1);
    }
}

WorkflowInputs InputsOf(const CliOptions& options) {
    WorkflowInputs inputs;
    if (options.image && !options.image->empty()) {
        SplitImagePath(*options.image, inputs.folder, inputs.fileName, inputs.separator);
    }
    inputs.memoryOption = options.memoryOption;
    inputs.sizeInMb = options.sizeInMb;
    inputs.sizeInHex = options.sizeInHex;
    inputs.psp = options.psp;
    inputs.adam2 = options.adam2;
    inputs.mtd5Visible = options.psp;
    const auto items = Mtd5Items();
    const auto& item = items.at(static_cast<std::size_t>(options.mtd5Choice));
    inputs.mtd5Text = item.text;
    inputs.mtd5ItemData = item.itemData;
    inputs.outputForm = options.outputForm;
    inputs.includeFileName = options.includeFileName;
    return inputs;
}

} // namespace

Json CalculationJson(const CliOptions& options, const CalculationRun& run) {
    const CalculationDetails& details = *run.details;
    const auto& messages = run.messages;
    const std::string& output = run.text;
    Json messagesJson = Json::array();
    for (const auto& [text, kind] : messages) {
        messagesJson.push_back(
            Json{{"kind", kind == MessageKind::Warning ? "warning" : "information"}, {"text", text}});
    }
    Json layouts = Json::array();
    for (const auto& block : details.layout.blocks) {
        const std::string name = LayoutName(block);
        Json partitions = Json::array();
        for (const auto& part : block.partitions) {
            partitions.push_back(PartitionJson(part));
        }
        layouts.push_back(Json{{"name", name.empty() ? Json() : Json(name)}, {"partitions", partitions}});
    }
    const SquashFsSuperblock& squashFs = details.squashFs;
    const std::string version = squashFs.versionText();
    Json document;
    document["image"] = Json{{"path", *options.image},
                             {"file_name", details.fileName},
                             {"type", "combined image"},
                             {"length", details.imageLength},
                             {"squashfs_offset", details.filesystemOffset}};
    document["flash_size"] = details.effectiveFlashSize;
    document["flash_size_given"] = details.flashSize == 0 ? Json() : Json(details.flashSize);
    document["bootloader"] = details.adam2 ? "adam2" : "psp";
    document["mtd5_size"] = details.layout.mtd5Size;
    document["messages"] = messagesJson;
    document["layouts"] = layouts;
    document["warnings"] = details.warnings;
    document["squashfs"] = Json{{"offset", squashFs.offset},
                                {"version", version.empty() ? Json() : Json(version)},
                                {"bytes_used", OrNull(squashFs.bytesUsed)},
                                {"plausible", squashFs.plausible}};
    // Nothing is claimed either way about an image without a trailer.
    const ChecksumTrailer& checksum = details.checksum;
    const auto ifPresent = [&checksum](const Json& value) { return checksum.present ? value : Json(); };
    document["checksum"] = Json{{"present", checksum.present},
                                {"stored", ifPresent(checksum.stored)},
                                {"computed", ifPresent(checksum.computed)},
                                {"valid", ifPresent(checksum.valid())}};
    document["kernel"] = Json{{"offset", kKernelHeader},
                              {"magic", OrNull(details.kernel.magic)},
                              {"plausible", details.kernel.plausible}};
    document["output"] = output;
    return document;
}

bool ImageAccepted(const CliOptions& options, std::ostream& err) {
    CommandLineHost host(err);
    return Workflow().validateImage(InputsOf(options), host);
}

CalculationRun Calculate(const CliOptions& options, std::ostream& err) {
    CommandLineHost host(err);
    Workflow workflow;
    CalculationRun run;
    const WorkflowOutcome outcome = workflow.calculate(InputsOf(options), host);
    run.messages = host.messages();
    if (outcome != WorkflowOutcome::Completed || !workflow.lastCalculation()) {
        return run;
    }
    run.details = *workflow.lastCalculation();
    if (const std::string note = ChecksumNote(run.details->checksum); !note.empty()) {
        err << kNote << note << '\n';
    }
    run.text = WithUnixLineEnds(run.details->resultsText) + '\n';
    return run;
}

} // namespace flintor::cli
