#pragma once

#include "ImageWrite.h"

#include <QString>

/// The status line after an image write: how each step went, in order, then why it stopped, and for an
/// image area left unfinished how to start again.
struct ImageWriteSummary {
    QString text;
    bool refusal = false; ///< something failed or was refused
};

/// Sums up result for the owner.
ImageWriteSummary SummarizeImageWrite(const flintor::ImageWriteResult& result);
