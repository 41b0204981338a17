#pragma once

#include <array>

/// A control's place in twips, relative to its container.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

/// The places of the main window's controls that follow the window's size, in twips. The other
/// controls keep their designed places.
struct FormLayout {
    std::array<TwipRect, 3> lblOrvo; // step headings; 0 on the window, 1 and 2 in the footer
    TwipRect Drive1;
    TwipRect Dir1;
    TwipRect File1;
    TwipRect fraFooter;
    TwipRect OrvoPartitions; // in the footer
    TwipRect lblResults;     // in the footer
    TwipRect lblStatus;      // in the footer
    TwipRect txtResults;     // in the footer
    TwipRect fraOutputs;     // in the footer
    int lnSepX1 = 0;         // the separator line, in the footer
    int lnSepY1 = 0;
    int lnSepX2 = 0;
    int lnSepY2 = 0;

    /// The places as designed, for a client area of 8280 x 8940 twips.
    static FormLayout Designed();
};

/// Lays the controls out for a client area of `width` x `height` twips. The steps run in a fixed
/// order, each reading what the steps before it set; a step that would give a negative width or
/// height is skipped on its own and the others still run, so a window smaller than the footer
/// keeps a usable layout and the next larger size restores the whole one.
void Form_Resize(FormLayout& layout, int width, int height);
