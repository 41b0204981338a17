#include "FormLayout.h"

#include <cmath>

FormLayout FormLayout::Designed() {
    FormLayout layout;
    layout.lblOrvo = {TwipRect{120, 120, 8055, 255}, TwipRect{0, 0, 8055, 255}, TwipRect{0, 600, 8055, 255}};
    layout.Drive1 = {120, 360, 8055, 315};
    layout.Dir1 = {120, 720, 8055, 1215};
    layout.File1 = {120, 2040, 8055, 1260};
    layout.fraFooter = {120, 3360, 8055, 5535};
    layout.OrvoPartitions = {0, 1320, 8055, 615};
    layout.lblResults = {0, 2040, 975, 375};
    layout.lblStatus = {1080, 2040, 4815, 255};
    layout.txtResults = {0, 2280, 5895, 3255};
    layout.fraOutputs = {6000, 2040, 2055, 3495};
    layout.lnSepX1 = 0;
    layout.lnSepY1 = 1200;
    layout.lnSepX2 = 8040;
    layout.lnSepY2 = 1200;
    return layout;
}

namespace {

// A size the window system would refuse is not applied; the control keeps the size it had.
void setWidth(TwipRect& rect, long long width) {
    if (width >= 0 && width <= 0x7FFFFFFF)
        rect.width = static_cast<int>(width);
}

void setHeight(TwipRect& rect, long long height) {
    if (height >= 0 && height <= 0x7FFFFFFF)
        rect.height = static_cast<int>(height);
}

} // namespace

void Form_Resize(FormLayout& layout, int width, int height) {
    const long long margin = layout.lblOrvo[0].left;
    for (TwipRect& heading : layout.lblOrvo)
        setWidth(heading, width - 2 * margin);
    const int stepWidth = layout.lblOrvo[0].width;
    setWidth(layout.fraFooter, stepWidth);
    setWidth(layout.Drive1, stepWidth);
    setWidth(layout.Dir1, stepWidth);
    setWidth(layout.File1, stepWidth);
    layout.lnSepX2 = layout.lnSepX1 + stepWidth;
    setWidth(layout.OrvoPartitions, layout.fraFooter.width);
    // The outputs panel keeps to the footer's right edge; results and status fill the rest.
    layout.fraOutputs.left = layout.fraFooter.width - layout.fraOutputs.width;
    setWidth(layout.txtResults, layout.fraOutputs.left - margin);
    setWidth(layout.lblStatus, static_cast<long long>(layout.txtResults.width) - layout.lblResults.width);
    layout.lblStatus.left = layout.txtResults.width - layout.lblStatus.width;
    // The footer keeps a bottom margin equal to its left margin; the lists share what is above it.
    layout.fraFooter.top = height - layout.fraFooter.height - layout.fraFooter.left;
    const double above = std::nearbyint(static_cast<double>(layout.fraFooter.top) - layout.Dir1.top);
    setHeight(layout.Dir1, static_cast<long long>(above) / 2);
    layout.File1.top = layout.Dir1.top + layout.Dir1.height;
    setHeight(layout.File1, static_cast<long long>(layout.fraFooter.top) - layout.File1.top);
}
