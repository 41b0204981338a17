#include "LocalNames.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there does not start one.
// Overlong forms, encoded surrogates and values above U+10FFFF are not valid.
int validSequenceLength(const unsigned char* s, qsizetype i, qsizetype n, char32_t& cp) {
    const unsigned char b = s[i];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    int len = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        len = 2;
        cp = b & 0x1F;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        cp = b & 0x0F;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        cp = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > n)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

QString decodeLocalName(const QByteArray& bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = validSequenceLength(s, i, n, cp);
        if (len == 0) {
            out.append(QChar(char16_t(0xDC00 + s[i])));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(cp)) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += len;
    }
    return out;
}

QByteArray encodeLocalName(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = name.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            out.append(QString(name.constData() + i, 2).toUtf8());
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out.append(char(c - 0xDC00));
        } else {
            out.append(QString(QChar(c)).toUtf8());
        }
    }
    return out;
}

bool localPathExists(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(encodeLocalName(path).constData(), &st) == 0;
}

bool isOpenableFolder(const QString& path) {
    if (path.isEmpty())
        return false;
    const QByteArray local = encodeLocalName(path);
    struct stat st {};
    if (::stat(local.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return ::access(local.constData(), R_OK | X_OK) == 0;
}
