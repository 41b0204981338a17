#pragma once

// The program's own messages and status texts, word for word as the window shows them.

namespace flintor::texts {

// Status line
inline constexpr const char* kValidatingFilename = "Validating filename...";
inline constexpr const char* kValidatingFile = "Validating file...";
inline constexpr const char* kValidatingSquashFs = "Validating file is SquashFS...";
inline constexpr const char* kValidatingMemory = "Validating memory selection...";
inline constexpr const char* kValidatingBootloader = "Validating bootloader choice...";
inline constexpr const char* kValidationComplete = "Validation complete.";
inline constexpr const char* kValidationFailed = "Validation failed.";
inline constexpr const char* kValidationPassed = "Validation passed.";
inline constexpr const char* kScanningFile = "Scanning file...";
inline constexpr const char* kCalculationComplete = "Calculation complete.";
inline constexpr const char* kCalculationFailed = "Calculation failed.";

// Validation warnings
inline constexpr const char* kSelectFile = "Please select a suitable firmware image file.";
inline constexpr const char* kNotFirmware = "File is not a valid firmware file.";
inline constexpr const char* kWrongTypePrefix = "File is a ";
inline constexpr const char* kWrongTypeSuffix = " file, NOT a valid COMBINED image firmware file.";
inline constexpr const char* kNotSquashFs = "File is not a valid SquashFS file.";
inline constexpr const char* kSelectMemory = "Please select a memory size.";
inline constexpr const char* kTooLarge =
    "Warning! The firmware file you have selected is too large to fit on your router.";
inline constexpr const char* kSelectBootloader = "Please select a bootloader type.";

// Checks of our own for input the calculator cannot handle
inline constexpr const char* kTooLargeToSearch = "File is too large to be a firmware file: only files of up "
                                                 "to 32MB are searched for a SquashFS file system.";
inline constexpr const char* kLargerThanAssumedFlash =
    "The firmware file you have selected is too large for the Flash ROM size assumed when it is not known "
    "(2MB for files up to 2MB, 4MB for larger ones). Please select your router's Flash ROM size.";
inline constexpr const char* kFlashNegative = "The Flash ROM size must not be negative.";
inline constexpr const char* kFlashTooLarge =
    "The Flash ROM size is too large: it must be less than 1792MB (70000000 in hex).";
inline constexpr const char* kFlashHexTooLong = "The Flash ROM size in hex must not have more than 8 digits.";
inline constexpr const char* kFilesystemInHeader =
    "File is not a valid firmware file: its SquashFS file system starts before its kernel.";
inline constexpr const char* kFlashTooSmallForLayout =
    "The Flash ROM size is too small for this firmware file: the bootloader's own blocks and the file "
    "system would not fit in it.";
inline constexpr const char* kReadFailedPrefix = "The firmware file could not be read: ";
inline constexpr const char* kFileChanged = "The firmware file changed while it was being read.";

// Warnings shown beside the results, without a message box
inline constexpr const char* kSquashFsImplausiblePrefix = "The SquashFS magic found at offset ";
inline constexpr const char* kSquashFsImplausibleMiddle = " does not start a real file system: ";
inline constexpr const char* kSquashFsImplausibleSuffix =
    ". The values assume the file system starts there; check that this is the firmware file you meant.";
inline constexpr const char* kChecksumWrongPrefix = "The image is damaged: its checksum is ";
inline constexpr const char* kChecksumWrongMiddle = " but its bytes give ";
inline constexpr const char* kChecksumWrongSuffix = "; download it again.";
inline constexpr const char* kNoKernelPrefix = "No kernel begins at offset 144 (0x90), where mtd1 begins: ";
inline constexpr const char* kNoKernelSuffix =
    ". The router would not find a kernel at the start of mtd1; check that this is the firmware file you "
    "meant.";

// Notes on an intact image
inline constexpr const char* kChecksumRightPrefix = "The image is intact: its checksum ";
inline constexpr const char* kChecksumRightSuffix = " matches its bytes.";
inline constexpr const char* kCalculationCompleteIntact = "Calculation complete. Checksum right.";

// Calculator messages
inline constexpr const char* kMtd5NotRecommended =
    "For routers with 2MB or less, an MTD5 partition is not recommended";
inline constexpr const char* kMtd5MaximumPrefix = "The maximum MTD5 size determined to be ";
inline constexpr const char* kMtd5ReducedPrefix =
    "The MTD5 size is too large and it will automatically be reduced to ";

// Notice after a calculation with an unknown flash size
inline constexpr const char* kMoreThan2MbNotice =
    "Please ensure your router has more than 2MB Flash ROM before using the selected file.";

// Result text additions
inline constexpr const char* kAdam2Note =
    "NOTE: Values for mtd0 and mtd1 for separate images may be incorrect";
inline constexpr const char* kTelnetNote =
    "NOTE: If the above script(s) do not work, you may need to replace";

// Partition map tooltips
inline constexpr const char* kMapToolTipAdam2 = "MTD Partitions (Single image)";
inline constexpr const char* kMapToolTipPsp = "MTD Partitions";

// Refusals of a router capture (comparison with the router's current values)
inline constexpr const char* kCaptureNotRegularPrefix = "The router capture is not a regular file: ";
inline constexpr const char* kCaptureTooLarge =
    "The router capture is larger than 1 MiB: an environment listing is far smaller.";
inline constexpr const char* kCaptureNotText = "The router capture is not text: it holds NUL bytes.";
inline constexpr const char* kCaptureNoValues =
    "No mtd0 to mtd5 values could be read from the router capture: it needs lines such as "
    "\"mtd0 0x90091000,0x903F0000\".";
inline constexpr const char* kCaptureReadFailedPrefix = "The router capture could not be read: ";

} // namespace flintor::texts
