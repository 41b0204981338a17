#include "Workflow.h"

#include "AsciiText.h"
#include "FileAccess.h"
#include "LenientNumber.h"
#include "OutputFormat.h"
#include "Texts.h"

#include <cerrno>
#include <cmath>
#include <cstring>

namespace flintor {

namespace {

// Thrown inside a run when the host's event pump asks it to stop.
struct Stop {};

class Run {
public:
    explicit Run(WorkflowHost& host) : m_host(host) {}

    // Sets a status and lets events be processed; a host that wants the run to stop ends it here.
    void status(const char* text) {
        m_host.setStatus(text);
        pump();
    }
    void pump() {
        if (!m_host.processEvents()) {
            throw Stop{};
        }
    }
    void warn(const std::string& text) { m_host.showMessage(text, MessageKind::Warning); }
    // A validation step failed: its message, the focus where the owner mends it (none when nullptr), and
    // the end of the validation.
    bool fail(const std::string& message, void (WorkflowHost::*focus)()) {
        warn(message);
        if (focus != nullptr) {
            (m_host.*focus)();
        }
        status(texts::kValidationComplete);
        return false;
    }

private:
    WorkflowHost& m_host;
};

std::string WithoutAll(std::string text, std::string_view part) {
    for (auto pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos)) {
        text.erase(pos, part.size());
    }
    return text;
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (true) {
        const auto end = text.find("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(pos));
            return lines;
        }
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
}

FlashSizeReading Rejected(const char* error) {
    FlashSizeReading reading;
    reading.chosen = true;
    reading.error = error;
    return reading;
}

// Checks an integral flash size in bytes against what the 32-bit flash addresses can hold.
FlashSizeReading Checked(double bytes, bool overflow) {
    if (overflow || std::isnan(bytes)) {
        return Rejected(bytes < 0 ? texts::kFlashNegative : texts::kFlashTooLarge);
    }
    if (bytes < 0) {
        return Rejected(texts::kFlashNegative);
    }
    if (bytes >= static_cast<double>(kFlashSizeLimit)) {
        return Rejected(texts::kFlashTooLarge);
    }
    FlashSizeReading reading;
    reading.chosen = true;
    reading.flashSize = static_cast<std::int32_t>(bytes);
    return reading;
}

// Whether every partition of the layout ends at or after its start.
bool PartitionsInOrder(const MtdLayout& layout) {
    for (const auto& block : layout.blocks) {
        for (const auto& partition : block.partitions) {
            if (partition.end < partition.start) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

std::vector<Mtd5Item> Mtd5Items() {
    std::vector<Mtd5Item> items{{"None", 0}};
    for (int size = 65536; size <= 458752; size += 65536) {
        items.push_back({SizeText(size), size / 65536});
    }
    items.push_back({"Maximum", 0});
    return items;
}

std::int64_t RequestedMtd5Size(bool visible, std::string_view text, std::optional<int> itemData) {
    if (!visible) {
        return 0;
    }
    if (EqualsIgnoringCase(text, "Maximum")) {
        return -1;
    }
    if (itemData) {
        return static_cast<std::int64_t>(*itemData) * 0x10000;
    }
    return 0;
}

FlashSizeReading ReadFlashSize(std::optional<int> memoryOption, std::string_view sizeInMb,
                               std::string_view sizeInHex) {
    FlashSizeReading reading;
    if (!memoryOption || *memoryOption < 0 || *memoryOption > 4) {
        return reading;
    }
    reading.chosen = true;
    switch (*memoryOption) {
    case 0:
        reading.flashSize = 0x200000;
        return reading;
    case 1:
        reading.flashSize = 0x400000;
        return reading;
    case 2: {
        const LenientNumber mb = ReadLenientNumber(sizeInMb);
        return Checked(RoundHalfEven(mb.value * 1024 * 1024), mb.overflow);
    }
    case 3: {
        const LenientNumber hex = ReadLenientNumber("&H" + std::string(sizeInHex));
        if (hex.hexTooLong()) {
            return Rejected(texts::kFlashHexTooLong);
        }
        return Checked(hex.value, hex.overflow);
    }
    default:
        return reading;
    }
}

std::string ImagePathOf(std::string_view folder, std::string_view fileName, char separator) {
    return AddBackslash(folder, separator) + std::string(fileName);
}

std::string WithAdam2Note(std::string resultText) {
    if (!resultText.empty()) {
        resultText.append("\r\n").append(67, '-').append("\r\n").append(texts::kAdam2Note);
    }
    return resultText;
}

std::string PartitionsTextOf(std::string_view resultText) {
    std::string joined;
    bool first = true;
    for (const auto& line : Lines(resultText)) {
        if (ContainsIgnoringCase(line, "separate")) {
            break;
        }
        std::string entry;
        if (StartsWithIgnoringCase(line, "mtd")) {
            const std::string range = WithoutAll(WithoutAll(FieldOf(line, ":", 2), " "), "0x");
            entry.append(Trimmed(FieldOf(line, ":", 1)))
                .append(":")
                .append(HexToDecimalText(Trimmed(FieldOf(range, ",", 1))))
                .append(",")
                .append(HexToDecimalText(Trimmed(FieldOf(range, ",", 2))));
        }
        if (!first) {
            joined += "\r\n";
        }
        joined += entry;
        first = false;
    }
    std::string text;
    for (const auto& entry : Lines(CollapseSeparator(joined, "\r\n", true))) {
        text.append(text.empty() ? "" : ";").append(entry);
    }
    return text;
}

std::string PartitionMapToolTip(bool adam2) {
    return adam2 ? texts::kMapToolTipAdam2 : texts::kMapToolTipPsp;
}

bool Workflow::validateInputs(const WorkflowInputs& inputs, WorkflowHost& host) {
    try {
        return validate(inputs, host);
    } catch (const Stop&) {
        return false;
    }
}

bool Workflow::validateImage(const WorkflowInputs& inputs, WorkflowHost& host) {
    try {
        return checkImage(inputs, host);
    } catch (const Stop&) {
        return false;
    }
}

bool Workflow::checkImage(const WorkflowInputs& inputs, WorkflowHost& host) {
    Run run(host);

    run.status(texts::kValidatingFilename);
    const std::string path = ImagePathOf(inputs.folder, inputs.fileName, inputs.separator);
    if (inputs.fileName.empty()) {
        return run.fail(texts::kSelectFile, &WorkflowHost::focusFileList);
    }

    run.status(texts::kValidatingFile);
    try {
        std::string typeText;
        ImageHeader header{};
        if (!ImageTypeOf(path, typeText, m_state.ImageLength, &header)) {
            return run.fail(typeText.empty() ? std::string(texts::kNotFirmware)
                                         : texts::kWrongTypePrefix + typeText + texts::kWrongTypeSuffix,
                        &WorkflowHost::focusFileList);
        }

        run.status(texts::kValidatingSquashFs);
        // The one read of the whole image: the search and every check of the calculation share it.
        m_scan = InspectImage(
            path,
            [&run] {
                run.pump();
                return true;
            },
            &header);
        m_state.FilesystemOffset = static_cast<std::int32_t>(m_scan.filesystemOffset);
    } catch (const ImageReadError& error) {
        return run.fail(error.what(), &WorkflowHost::focusFileList);
    }
    if (m_state.FilesystemOffset == -1) {
        return run.fail(texts::kNotSquashFs, &WorkflowHost::focusFileList);
    }
    // The kernel partition starts kKernelHeader bytes into the image; a file system before that
    // would give mtd1 an end before its start.
    if (m_state.FilesystemOffset > 0 && m_state.FilesystemOffset < kKernelHeader) {
        return run.fail(texts::kFilesystemInHeader, &WorkflowHost::focusFileList);
    }
    if (m_state.FilesystemOffset == 0) {
        // A combined image's header occupies its first 16 bytes, so 0 means that nothing was searched.
        if (m_state.ImageLength > kLargestSearchedFile) {
            return run.fail(texts::kTooLargeToSearch, &WorkflowHost::focusFileList);
        }
        if (int error = 0; !StatusOfPath(path, error)) {
            return run.fail(std::string(texts::kReadFailedPrefix) + std::strerror(error),
                        &WorkflowHost::focusFileList);
        }
        return run.fail(texts::kFileChanged, &WorkflowHost::focusFileList);
    }
    return true;
}

bool Workflow::validate(const WorkflowInputs& inputs, WorkflowHost& host) {
    if (!checkImage(inputs, host)) {
        return false;
    }
    Run run(host);

    run.status(texts::kValidatingMemory);
    const FlashSizeReading flash = ReadFlashSize(inputs.memoryOption, inputs.sizeInMb, inputs.sizeInHex);
    if (!flash.chosen) {
        return run.fail(texts::kSelectMemory, nullptr);
    }
    if (!flash.error.empty()) {
        return run.fail(flash.error, nullptr);
    }
    m_state.FlashSize = flash.flashSize;
    // The image must fit the image area, not only the flash: values for a longer image would cut
    // its file system off at the end of mtd0 and mtd4.
    if (m_state.FlashSize > 0 && m_state.ImageLength > m_state.FlashSize - kReservedFlash) {
        return run.fail(texts::kTooLarge, &WorkflowHost::focusFileList);
    }
    // An unknown flash size is assumed from the image's length (2MB or 4MB); the assumption must hold
    // the image the same way, or the owner has to say what the router has.
    if (m_state.FlashSize == 0 &&
        m_state.ImageLength > EffectiveFlashSize(0, m_state.ImageLength) - kReservedFlash) {
        return run.fail(texts::kLargerThanAssumedFlash, nullptr);
    }

    run.status(texts::kValidatingBootloader);
    if (!inputs.psp && !inputs.adam2) {
        return run.fail(texts::kSelectBootloader, &WorkflowHost::focusPsp);
    }
    // A flash too small for the boot loader's own blocks and the file system's offset (a few hundred
    // bytes, or an image whose file system lies near the end of the flash) would give partitions that
    // end before they start; no router can use such values.
    const auto layout =
        CalculateLayout(m_state.ImageLength, m_state.FilesystemOffset,
                        EffectiveFlashSize(m_state.FlashSize, m_state.ImageLength), inputs.adam2,
                        RequestedMtd5Size(inputs.mtd5Visible, inputs.mtd5Text, inputs.mtd5ItemData));
    if (layout && !PartitionsInOrder(*layout)) {
        return run.fail(texts::kFlashTooSmallForLayout, nullptr);
    }

    run.status(texts::kValidationComplete);
    return true;
}

WorkflowOutcome Workflow::calculate(const WorkflowInputs& inputs, WorkflowHost& host) {
    if (m_running) {
        return WorkflowOutcome::Cancelled;
    }
    m_running = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_running};

    Run run(host);
    CalculationDetails details;
    try {
        if (!validate(inputs, host)) {
            run.status(texts::kValidationFailed);
            return WorkflowOutcome::ValidationFailed;
        }
        run.status(texts::kValidationPassed);

        details.imagePath = ImagePathOf(inputs.folder, inputs.fileName, inputs.separator);
        details.fileName = inputs.fileName;
        details.adam2 = inputs.adam2;
        details.filesystemOffset = m_state.FilesystemOffset;
        details.flashSize = m_state.FlashSize;
        // The length is read again; a file that changed since it was searched gets no partitions.
        int error = 0;
        const auto status = StatusOfPath(details.imagePath, error);
        if (!status) {
            run.warn(std::string(texts::kReadFailedPrefix) + std::strerror(error));
            run.status(texts::kCalculationFailed);
            return WorkflowOutcome::Failed;
        }
        details.imageLength = status->length;
        if (!status->regular || details.imageLength != m_state.ImageLength) {
            run.warn(texts::kFileChanged);
            run.status(texts::kCalculationFailed);
            return WorkflowOutcome::Failed;
        }
        details.squashFs = m_scan.squashFs;
        details.checksum = m_scan.checksum;
        details.kernel = m_scan.kernel;
        // A damaged download explains whatever else looks wrong, so its warning comes first.
        for (const std::string& warning : {ChecksumWarning(details.checksum), KernelWarning(details.kernel),
                                           SquashFsWarning(details.squashFs)}) {
            if (!warning.empty()) {
                details.warnings.push_back(warning);
            }
        }

        details.effectiveFlashSize = EffectiveFlashSize(m_state.FlashSize, details.imageLength);
        details.requestedMtd5Size =
            RequestedMtd5Size(inputs.mtd5Visible, inputs.mtd5Text, inputs.mtd5ItemData);

        host.setStatus(texts::kScanningFile);
        host.setResultsText(texts::kScanningFile);
        run.pump();
    } catch (const Stop&) {
        return WorkflowOutcome::Cancelled;
    }

    // From here on the run completes: the calculator's messages are modal and nothing else waits.
    const auto layout =
        CalculateLayout(details.imageLength, details.filesystemOffset, details.effectiveFlashSize,
                        details.adam2, details.requestedMtd5Size,
                        [&host](const std::string& text, MessageKind kind) { host.showMessage(text, kind); });
    details.layout = layout.value_or(MtdLayout{});
    m_state.ResultText = layout ? ResultTextOf(*layout) : std::string();
    if (details.adam2) {
        m_state.ResultText = WithAdam2Note(std::move(m_state.ResultText));
    }
    details.resultsText =
        FormatOutput(m_state.ResultText, inputs.outputForm, inputs.includeFileName, inputs.fileName);
    host.setResultsText(details.resultsText);
    host.setWarnings(details.warnings);
    details.partitionsText = PartitionsTextOf(m_state.ResultText);
    details.partitionMapToolTip = PartitionMapToolTip(details.adam2);
    host.setPartitionMap(details.partitionsText, details.partitionMapToolTip);
    host.setStatus(details.checksum.valid() ? texts::kCalculationCompleteIntact
                                            : texts::kCalculationComplete);
    host.processEvents();
    if (m_state.FlashSize == 0 && m_state.ImageLength > 0x200000) {
        details.moreThan2MbNotice = true;
        host.showMessage(texts::kMoreThan2MbNotice, MessageKind::Information);
    }
    m_last = std::move(details);
    return WorkflowOutcome::Completed;
}

std::optional<std::string> Workflow::reformat(const WorkflowInputs& inputs) const {
    if (m_state.ResultText.empty()) {
        return std::nullopt;
    }
    return FormatOutput(m_state.ResultText, inputs.outputForm, inputs.includeFileName, inputs.fileName);
}

} // namespace flintor
