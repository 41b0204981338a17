#include "CalcCommand.h"

#include "CompareCommand.h"
#include "Workflow.h"

#include <cstdio>
#include <sstream>

#ifndef FLINTOR_VERSION
#define FLINTOR_VERSION "1.0.1"
#endif

namespace flintor::cli {

namespace {

constexpr const char* kPrefix = "flintor-calc: ";

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
        folder = ".";
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

// extraMembers: further members, already indented, that follow "output".
std::string JsonOf(const CliOptions& options, const CalculationDetails& details,
                   const std::vector<std::pair<std::string, MessageKind>>& messages,
                   const std::string& output, const std::string& extraMembers = {}) {
    std::ostringstream json;
    json << "{\n";
    json << "  \"image\": {\"path\": " << JsonQuoted(*options.image)
         << ", \"file_name\": " << JsonQuoted(details.fileName)
         << ", \"type\": \"combined image\", \"length\": " << details.imageLength
         << ", \"squashfs_offset\": " << details.filesystemOffset << "},\n";
    json << "  \"flash_size\": " << details.effectiveFlashSize << ",\n";
    json << "  \"flash_size_given\": "
         << (details.flashSize == 0 ? std::string("null") : std::to_string(details.flashSize)) << ",\n";
    json << "  \"bootloader\": \"" << (details.adam2 ? "adam2" : "psp") << "\",\n";
    json << "  \"mtd5_size\": " << details.layout.mtd5Size << ",\n";
    json << "  \"messages\": [";
    for (std::size_t i = 0; i < messages.size(); ++i) {
        json << (i == 0 ? "\n" : ",\n") << "    {\"kind\": \""
             << (messages[i].second == MessageKind::Warning ? "warning" : "information")
             << "\", \"text\": " << JsonQuoted(messages[i].first) << "}";
    }
    json << (messages.empty() ? "],\n" : "\n  ],\n");
    json << "  \"layouts\": [";
    for (std::size_t b = 0; b < details.layout.blocks.size(); ++b) {
        const auto& block = details.layout.blocks[b];
        std::string name = block.heading;
        if (!name.empty() && name.back() == ':') {
            name.pop_back();
        }
        json << (b == 0 ? "\n" : ",\n")
             << "    {\"name\": " << (name.empty() ? std::string("null") : JsonQuoted(name))
             << ", \"partitions\": [";
        for (std::size_t p = 0; p < block.partitions.size(); ++p) {
            const auto& part = block.partitions[p];
            json << (p == 0 ? "\n" : ",\n") << "      {\"name\": \"mtd" << part.number
                 << "\", \"start\": " << part.start << ", \"end\": " << part.end << "}";
        }
        json << "\n    ]}";
    }
    json << "\n  ],\n";
    json << "  \"warnings\": [";
    for (std::size_t i = 0; i < details.warnings.size(); ++i) {
        json << (i == 0 ? "" : ", ") << JsonQuoted(details.warnings[i]);
    }
    json << "],\n";
    const SquashFsSuperblock& squashFs = details.squashFs;
    const std::string version = squashFs.versionText();
    json << "  \"squashfs\": {\"offset\": " << squashFs.offset
         << ", \"version\": " << (version.empty() ? std::string("null") : JsonQuoted(version))
         << ", \"bytes_used\": "
         << (squashFs.bytesUsed ? std::to_string(*squashFs.bytesUsed) : std::string("null"))
         << ", \"plausible\": " << (squashFs.plausible ? "true" : "false") << "},\n";
    json << "  \"output\": " << JsonQuoted(output);
    if (!extraMembers.empty()) {
        json << ",\n" << extraMembers;
    }
    json << "\n}\n";
    return json.str();
}

} // namespace

std::string JsonEscaped(const std::string& text) {
    std::string result;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = bytes[i];
        if (c == '"' || c == '\\') {
            result += '\\';
            result += static_cast<char>(c);
            ++i;
        } else if (c == '\n') {
            result += "\\n";
            ++i;
        } else if (c == '\r') {
            result += "\\r";
            ++i;
        } else if (c == '\t') {
            result += "\\t";
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            result += escape;
            ++i;
        } else if (c < 0x80) {
            result += static_cast<char>(c);
            ++i;
        } else {
            // Copy a well-formed UTF-8 sequence; anything else becomes the replacement character.
            std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
            if (c > 0xF4) {
                length = 0;
            }
            bool valid = length > 0 && i + length <= size;
            std::uint32_t codePoint = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
            for (std::size_t k = 1; valid && k < length; ++k) {
                if ((bytes[i + k] & 0xC0) != 0x80) {
                    valid = false;
                } else {
                    codePoint = codePoint << 6 | (bytes[i + k] & 0x3F);
                }
            }
            if (valid &&
                ((length == 3 && (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF))) ||
                 (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF)))) {
                valid = false;
            }
            if (valid) {
                result.append(text, i, length);
                i += length;
            } else {
                result += "\xEF\xBF\xBD";
                ++i;
            }
        }
    }
    return result;
}

std::string JsonQuoted(const std::string& text) {
    std::string quoted = "\"";
    quoted.append(JsonEscaped(text)).append("\"");
    return quoted;
}

std::string WithUnixLineEnds(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        result += text[i];
    }
    return result;
}

int RunCalculation(CliOptions options, std::ostream& out, std::ostream& err, std::istream& in) {
    std::optional<RouterCapture> capture;
    if (options.compare) {
        int status = kExitRejected;
        capture = PrepareComparison(options, in, err, status);
        if (!capture) {
            return status;
        }
    }
    CommandLineHost host(err);
    Workflow workflow;
    const WorkflowOutcome outcome = workflow.calculate(InputsOf(options), host);
    if (outcome != WorkflowOutcome::Completed || !workflow.lastCalculation()) {
        return kExitRejected;
    }
    const CalculationDetails& details = *workflow.lastCalculation();
    if (const std::string note = ChecksumNote(details.checksum); !note.empty()) {
        err << kPrefix << "note: " << note << '\n';
    }
    const std::string text = WithUnixLineEnds(details.resultsText) + '\n';
    if (!capture) {
        out << (options.json ? JsonOf(options, details, host.messages(), text) : text);
        out.flush();
        return kExitSuccess;
    }
    const RouterComparison comparison =
        CompareWithRouter(details.layout, capture->environment, options.outputForm);
    WriteComparisonNotes(comparison, err);
    out << (options.json
                ? JsonOf(options, details, host.messages(), text, ComparisonJson(*capture, comparison))
                : ComparisonText(comparison));
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
