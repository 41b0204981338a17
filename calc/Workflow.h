#pragma once

// The Calculate command without the window: validation, calculation, output conversion and the partition
// map's text. The window and flintor-calc both run it; they differ only in their WorkflowHost.

#include "Messages.h"
#include "modMTD.h"
#include "modMisc.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flintor {

/// The controls of the window as the Calculate command reads them.
struct WorkflowInputs {
    std::string folder;   ///< path of the file list (File1)
    std::string fileName; ///< file name selected in the file list; empty when none is selected
    std::optional<int>
        memoryOption; ///< selected optMem: 0 "2MB", 1 "4MB", 2 "Size in MB", 3 "Size in Hex", 4 "Don't know"
    std::string sizeInMb;     ///< text of txtMB
    std::string sizeInHex;    ///< text of txtHex
    bool psp = false;         ///< chkPSP checked
    bool adam2 = false;       ///< chkAdam2 checked
    bool mtd5Visible = false; ///< cboMTD5 shown (exactly when PSP is checked)
    std::string mtd5Text;     ///< text of cboMTD5
    std::optional<int>
        mtd5ItemData;              ///< item data of the selected cboMTD5 item; none when nothing is selected
    std::optional<int> outputForm; ///< selected optOut, 0..3; none counts as 0
    bool includeFileName = false;  ///< chkIncFilename checked
    char separator = kPathSeparator; ///< separator of folder
};

/// What the Calculate command does to the window. Each status text is followed by processEvents().
class WorkflowHost {
public:
    virtual ~WorkflowHost() = default;
    /// Writes the status line (lblStatus).
    virtual void setStatus(const std::string& text) = 0;
    /// Lets pending window events be processed; returns false to stop the running calculation
    /// (the window closes, or a second run was requested). Also called after each chunk of the search.
    virtual bool processEvents() = 0;
    /// A modal message box with an OK button and the application title as caption.
    virtual void showMessage(const std::string& text, MessageKind kind) = 0;
    /// Replaces the text of the results box (txtResults).
    virtual void setResultsText(const std::string& text) { (void)text; }
    /// Shows the warnings of a completed calculation beside the results, without a message box; an
    /// empty list clears those of the calculation before.
    virtual void setWarnings(const std::vector<std::string>& warnings) { (void)warnings; }
    /// Gives the partition map its Partitions text and its tooltip.
    virtual void setPartitionMap(const std::string& partitions, const std::string& toolTip) {
        (void)partitions;
        (void)toolTip;
    }
    /// Moves the keyboard focus to the file list.
    virtual void focusFileList() {}
    /// Moves the keyboard focus to the PSP check box.
    virtual void focusPsp() {}
};

/// How a Calculate command ended.
enum class WorkflowOutcome {
    Completed,        ///< results shown
    ValidationFailed, ///< a validation step failed; results unchanged
    Failed,           ///< the file changed after validation; results unchanged
    Cancelled,        ///< the host stopped it; nothing more was shown
};

/// State of the window that validation and calculation set (initially 0, 0, 0 and empty).
struct WorkflowState {
    std::int32_t FilesystemOffset = 0; ///< offset of the SquashFS magic, set by validation step 3
    std::int64_t ImageLength = 0;      ///< length of the image, set by validation step 2
    std::int32_t FlashSize = 0;        ///< flash size chosen, in bytes, 0 unknown; set by validation step 4
    std::string ResultText;            ///< result text with the workflow's notes, before output conversion
};

/// Everything the last successful calculation produced.
struct CalculationDetails {
    std::string imagePath;
    std::string fileName;
    std::int64_t imageLength = 0;
    std::int32_t filesystemOffset = 0;
    std::int32_t flashSize = 0;          ///< as chosen, 0 unknown
    std::int32_t effectiveFlashSize = 0; ///< the size calculated with
    bool adam2 = false;
    std::int64_t requestedMtd5Size = 0; ///< 0 none, -1 as large as possible
    MtdLayout layout;                   ///< includes the mtd5 size actually used
    SquashFsSuperblock squashFs;        ///< the superblock at filesystemOffset, as judged
    ChecksumTrailer checksum;           ///< the checksum trailer, when the image ends with one
    KernelCheck kernel;                 ///< the word where mtd1 begins
    std::vector<std::string> warnings;  ///< shown beside the results; they change no value
    std::string resultsText;            ///< the text of the results box
    std::string partitionsText;         ///< the partition map's Partitions text
    std::string partitionMapToolTip;
    bool moreThan2MbNotice = false; ///< the notice about a flash larger than 2MB was shown
};

/// The Calculate command with the window's state behind it. Not re-entrant: while calculate() runs, a host
/// that wants another run lets processEvents() return false and starts it after calculate() returned.
class Workflow {
public:
    /// cmdRead_Click: validates, calculates and shows the results.
    WorkflowOutcome calculate(const WorkflowInputs& inputs, WorkflowHost& host);
    /// ValidateInputs: true when every step passed; sets the state as far as it gets.
    bool validateInputs(const WorkflowInputs& inputs, WorkflowHost& host);
    /// The steps of validateInputs that check the file alone (its name, type and file system), so that
    /// an image is refused before anything else is asked; true when they passed.
    bool validateImage(const WorkflowInputs& inputs, WorkflowHost& host);
    /// optOut_Click: the last result text in the output form the inputs choose; nullopt before the first
    /// result, when the results box must stay as it is.
    std::optional<std::string> reformat(const WorkflowInputs& inputs) const;

    const WorkflowState& state() const { return m_state; }
    /// The last successful calculation; nullopt before it.
    const std::optional<CalculationDetails>& lastCalculation() const { return m_last; }
    bool running() const { return m_running; }

private:
    // The validation steps; a host that stops the run throws out of them.
    bool validate(const WorkflowInputs& inputs, WorkflowHost& host);
    bool checkImage(const WorkflowInputs& inputs, WorkflowHost& host);

    WorkflowState m_state;
    ImageScan m_scan; ///< the pass over the image that validation made
    std::optional<CalculationDetails> m_last;
    bool m_running = false;
};

/// One item of the cboMTD5 list.
struct Mtd5Item {
    std::string text;
    int itemData = 0; ///< size in units of 64 KiB; 0 for "None" and "Maximum"
};

/// The cboMTD5 list: "None", the seven sizes 64 KiB to 448 KiB as SizeText writes them, "Maximum".
std::vector<Mtd5Item> Mtd5Items();

/// The requested mtd5 size: 0 when the list is hidden, -1 when its text is "Maximum" (any letter case),
/// the selected item's data × 0x10000, or 0 when nothing is selected.
std::int64_t RequestedMtd5Size(bool visible, std::string_view text, std::optional<int> itemData);

/// The flash size read from the flash size choice.
struct FlashSizeReading {
    bool chosen = false;        ///< an option is selected
    std::int32_t flashSize = 0; ///< in bytes, 0 unknown
    std::string error;          ///< why the size cannot be used; empty when it can
};

/// Reads FlashSize from the selected optMem option and the txtMB / txtHex texts. Negative sizes, sizes
/// of 0x70000000 and more, and hexadecimal texts of more than 8 digits come back with an error.
FlashSizeReading ReadFlashSize(std::optional<int> memoryOption, std::string_view sizeInMb,
                               std::string_view sizeInHex);

/// The full path of the selected image: the folder with a trailing separator, then the file name.
std::string ImagePathOf(std::string_view folder, std::string_view fileName, char separator = kPathSeparator);

/// The result text with the Adam2 note (a line of 67 hyphens and the NOTE line) appended; an empty text
/// stays empty.
std::string WithAdam2Note(std::string resultText);

/// UpdatePartitionMap's Partitions text: the mtd lines before the first "Separate" heading, as
/// label:start,end with decimal addresses, joined by ";".
std::string PartitionsTextOf(std::string_view resultText);

/// The partition map's tooltip after a calculation.
std::string PartitionMapToolTip(bool adam2);

} // namespace flintor
