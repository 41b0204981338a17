#pragma once

// Texts of the calculation core (UTF-8, lines broken with CR LF) as the windows' controls show them.

#include <QString>
#include <string>

/// A UTF-8 text of the core as a QString.
inline QString fromStd(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

/// A core text for a text box or the clipboard: its CR LF line breaks become plain ones.
inline QString forDisplay(const std::string& text) {
    return fromStd(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
