#pragma once

// What the simulators' command lines share: whole numbers, and the --set and --unset changes of the
// simulated environment.

#include "RouterSimulator.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace flintor {

/// A decimal number from least to most with nothing after it; none for anything else.
inline std::optional<long long> ReadWholeNumber(const char* text, long long least, long long most) {
    if (text == nullptr) {
        return std::nullopt;
    }
    char* end = nullptr;
    const long long number = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || number < least || number > most) {
        return std::nullopt;
    }
    return number;
}

/// The --set NAME=VALUE and --unset NAME of a command line, in their order.
class VariableChanges {
public:
    /// Takes the value of option (--set or --unset); the usage problem, or empty when taken.
    std::string take(std::string_view option, const char* value) {
        const std::string text = value ? value : "";
        const std::size_t equals = text.find('=');
        if (option == "--set") {
            if (equals == std::string::npos || equals == 0) {
                return "--set needs NAME=VALUE";
            }
            m_changes.emplace_back(text.substr(0, equals), text.substr(equals + 1));
        } else {
            if (text.empty()) {
                return "--unset needs a name";
            }
            m_changes.emplace_back(text, std::nullopt);
        }
        return {};
    }

    /// Makes the changes, in their order, with SetVariable and UnsetVariable.
    void applyTo(SimulatedEnvironment& environment) const {
        for (const auto& [name, value] : m_changes) {
            if (value) {
                SetVariable(environment, name, *value);
            } else {
                UnsetVariable(environment, name);
            }
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_changes;
};

} // namespace flintor
