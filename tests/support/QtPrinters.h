#pragma once

// Readable failure messages for texts and lists of texts. Every test file of the executable must
// include this before <gtest/gtest.h>: gtest's printers are templates, and one file printing a
// QString as raw characters would stand for all of them at link time.

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
