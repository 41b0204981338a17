#pragma once

// Whole files read and written by the tests of the settings file.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

/// The bytes of the file at `path`; "<unreadable>" when it cannot be opened (or does not exist).
inline QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// Makes `bytes` the whole file at `path`; a file that cannot be written fails the test.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}
