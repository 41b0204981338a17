// The lenient number reader, and the flash size boxes that read with it.

#include "FuzzSupport.h"
#include "LenientNumber.h"
#include "Workflow.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const flintor::LenientNumber number = flintor::ReadLenientNumber(text);
    fuzz::check(!std::isnan(number.value), "NaN", text);
    fuzz::check(number.overflow == std::isinf(number.value), "overflow flag", text);
    fuzz::check(number.hexDigits >= 0, "negative digit count", text);
    if (number.hex) {
        fuzz::check(number.value >= 0 && number.value == std::floor(number.value), "hex not a whole number",
                    text);
    } else {
        fuzz::check(number.hexDigits == 0, "hex digits on a decimal", text);
    }

    // Both sizes in a box must end as a usable size or as a message: never as a size whose flash
    // would reach past 0xFFFFFFFF.
    for (int option : {2, 3}) {
        const flintor::FlashSizeReading reading = flintor::ReadFlashSize(option, text, text);
        fuzz::check(reading.chosen, "option not taken", text);
        if (reading.error.empty()) {
            fuzz::check(reading.flashSize >= 0 && reading.flashSize < flintor::kFlashSizeLimit,
                        "flash size outside the flash window", text);
        } else {
            fuzz::check(reading.flashSize == 0, "a size came with an error", text);
        }
    }
    return 0;
}
