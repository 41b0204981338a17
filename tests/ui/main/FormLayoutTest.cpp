// The main window's layout in twips: the twelve steps that make the controls follow the client area.
#include "FormLayout.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWidth = 8280; // designed client area
constexpr int kHeight = 8940;
constexpr int kFooterHeight = 5535;

FormLayout laidOut(int width, int height) {
    FormLayout layout = FormLayout::Designed();
    Form_Resize(layout, width, height);
    return layout;
}

void expectSameRect(const TwipRect& a, const TwipRect& b, const char* name) {
    EXPECT_EQ(a.left, b.left) << name;
    EXPECT_EQ(a.top, b.top) << name;
    EXPECT_EQ(a.width, b.width) << name;
    EXPECT_EQ(a.height, b.height) << name;
}

void expectSameLayout(const FormLayout& a, const FormLayout& b) {
    for (int i = 0; i < 3; ++i)
        expectSameRect(a.lblOrvo[i], b.lblOrvo[i], "lblOrvo");
    expectSameRect(a.Drive1, b.Drive1, "Drive1");
    expectSameRect(a.Dir1, b.Dir1, "Dir1");
    expectSameRect(a.File1, b.File1, "File1");
    expectSameRect(a.fraFooter, b.fraFooter, "fraFooter");
    expectSameRect(a.OrvoPartitions, b.OrvoPartitions, "OrvoPartitions");
    expectSameRect(a.lblResults, b.lblResults, "lblResults");
    expectSameRect(a.lblStatus, b.lblStatus, "lblStatus");
    expectSameRect(a.txtResults, b.txtResults, "txtResults");
    expectSameRect(a.fraOutputs, b.fraOutputs, "fraOutputs");
    EXPECT_EQ(a.lnSepX1, b.lnSepX1);
    EXPECT_EQ(a.lnSepX2, b.lnSepX2);
    EXPECT_EQ(a.lnSepY1, b.lnSepY1);
    EXPECT_EQ(a.lnSepY2, b.lnSepY2);
}

TEST(FormLayout, DesignedClientAreaPlacesFooterAndListsByTheSteps) {
    const FormLayout layout = laidOut(kWidth, kHeight);
    EXPECT_EQ(layout.fraFooter.top, 3285);
    EXPECT_EQ(layout.fraFooter.height, kFooterHeight);
    EXPECT_EQ(layout.Dir1.top, 720);
    EXPECT_EQ(layout.Dir1.height, 1282);
    EXPECT_EQ(layout.File1.top, 2002);
    EXPECT_EQ(layout.File1.height, 1283);
    // The file list ends exactly where the footer begins.
    EXPECT_EQ(layout.File1.top + layout.File1.height, layout.fraFooter.top);
}

TEST(FormLayout, WidthsStretchToTheClientAreaLessBothMargins) {
    for (const int width : {kWidth, 12000, 5000}) {
        SCOPED_TRACE(width);
        const FormLayout layout = laidOut(width, kHeight);
        const int stepWidth = width - 2 * 120;
        for (const TwipRect& heading : layout.lblOrvo)
            EXPECT_EQ(heading.width, stepWidth);
        EXPECT_EQ(layout.fraFooter.width, stepWidth);
        EXPECT_EQ(layout.Drive1.width, stepWidth);
        EXPECT_EQ(layout.Dir1.width, stepWidth);
        EXPECT_EQ(layout.File1.width, stepWidth);
        EXPECT_EQ(layout.OrvoPartitions.width, stepWidth);
        EXPECT_EQ(layout.lnSepX1, 0);
        EXPECT_EQ(layout.lnSepX2, stepWidth);
        EXPECT_EQ(layout.lnSepY2, layout.lnSepY1);
        // The outputs panel keeps its width and sits at the footer's right edge.
        EXPECT_EQ(layout.fraOutputs.width, 2055);
        EXPECT_EQ(layout.fraOutputs.left + layout.fraOutputs.width, stepWidth);
        EXPECT_EQ(layout.txtResults.width, layout.fraOutputs.left - 120);
        EXPECT_EQ(layout.lblStatus.width, layout.txtResults.width - layout.lblResults.width);
        // The status line's right edge meets the results box's right edge.
        EXPECT_EQ(layout.lblStatus.left + layout.lblStatus.width, layout.txtResults.width);
        // Positions and sizes the steps do not touch keep their designed values.
        EXPECT_EQ(layout.lblOrvo[0].left, 120);
        EXPECT_EQ(layout.Drive1.height, 315);
        EXPECT_EQ(layout.txtResults.height, 3255);
        EXPECT_EQ(layout.OrvoPartitions.top, 1320);
    }
    const FormLayout designed = laidOut(kWidth, kHeight);
    EXPECT_EQ(designed.lblOrvo[0].width, 8040);
    EXPECT_EQ(designed.fraOutputs.left, 5985);
    EXPECT_EQ(designed.txtResults.width, 5865);
    EXPECT_EQ(designed.lblStatus.width, 4890);
    EXPECT_EQ(designed.lblStatus.left, 975);
}

TEST(FormLayout, ShorterWindowMovesFooterUpAndSharesTheLossBetweenTheLists) {
    const FormLayout full = laidOut(kWidth, kHeight);
    const FormLayout shorter = laidOut(kWidth, kHeight - 1000);
    EXPECT_EQ(shorter.fraFooter.top, full.fraFooter.top - 1000);
    EXPECT_EQ(shorter.Dir1.height, full.Dir1.height - 500);
    EXPECT_EQ(shorter.File1.top, shorter.Dir1.top + shorter.Dir1.height);
    EXPECT_EQ(shorter.File1.top + shorter.File1.height, shorter.fraFooter.top);
    EXPECT_EQ(shorter.File1.height, 783);
}

TEST(FormLayout, OddDistanceDropsTheHalfTwipFromTheFolderList) {
    // Above the footer: 3285 - 720 = 2565 twips at the designed height, one more per extra twip.
    struct Case {
        int height;
        int dirHeight;
        int fileHeight;
    };
    for (const Case& c : {Case{kHeight, 1282, 1283}, Case{kHeight + 1, 1283, 1283},
                          Case{kHeight + 2, 1283, 1284}, Case{kHeight + 15, 1290, 1290}}) {
        SCOPED_TRACE(c.height);
        const FormLayout layout = laidOut(kWidth, c.height);
        EXPECT_EQ(layout.Dir1.height, c.dirHeight);
        EXPECT_EQ(layout.File1.height, c.fileHeight);
    }
}

TEST(FormLayout, TinyWindowSkipsOnlyTheStepsThatWouldGoNegative) {
    FormLayout layout = laidOut(kWidth, kHeight);
    const FormLayout before = layout;
    Form_Resize(layout, 100, 100);
    // Widths that would be negative keep their previous values.
    EXPECT_EQ(layout.lblOrvo[0].width, before.lblOrvo[0].width);
    EXPECT_EQ(layout.fraFooter.width, before.fraFooter.width);
    EXPECT_EQ(layout.File1.width, before.File1.width);
    // The footer still moves with the bottom edge; a top may be negative.
    EXPECT_EQ(layout.fraFooter.top, 100 - kFooterHeight - 120);
    // The lists' heights would be negative: skipped, while the file list still follows the folder list.
    EXPECT_EQ(layout.Dir1.height, before.Dir1.height);
    EXPECT_EQ(layout.File1.height, before.File1.height);
    EXPECT_EQ(layout.File1.top, layout.Dir1.top + layout.Dir1.height);

    // A window narrower than the margins but tall enough: only the widths are skipped.
    Form_Resize(layout, 200, kHeight);
    EXPECT_EQ(layout.lblOrvo[0].width, before.lblOrvo[0].width);
    EXPECT_EQ(layout.fraFooter.top, 3285);
    EXPECT_EQ(layout.Dir1.height, 1282);
    EXPECT_EQ(layout.File1.height, 1283);

    // A narrow footer (wide enough for the headings, not for the outputs panel): the results box
    // would get a negative width and keeps its last one, while the panel still moves to the edge.
    Form_Resize(layout, 1500, kHeight);
    EXPECT_EQ(layout.fraFooter.width, 1260);
    EXPECT_EQ(layout.fraOutputs.left, 1260 - 2055);
    EXPECT_EQ(layout.txtResults.width, before.txtResults.width);
}

TEST(FormLayout, GrowingBackRestoresTheWholeLayout) {
    const FormLayout designed = laidOut(kWidth, kHeight);
    for (const auto& [w, h] : {std::pair{0, 0}, std::pair{100, 100}, std::pair{1500, 2000},
                               std::pair{-30, 9000}, std::pair{20000, 20000}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        FormLayout layout = designed;
        Form_Resize(layout, w, h);
        Form_Resize(layout, kWidth, kHeight);
        expectSameLayout(layout, designed);
    }
}

TEST(FormLayout, LayingOutTwiceAtTheSameSizeChangesNothing) {
    FormLayout layout = laidOut(9000, 10000);
    const FormLayout once = layout;
    Form_Resize(layout, 9000, 10000);
    expectSameLayout(layout, once);
}

TEST(FormLayout, LargestWindowTheToolkitAllowsStaysInRange) {
    // 16777215 pixels (the toolkit's largest widget size) at 15 twips per pixel.
    constexpr int kLargest = 16777215 * 15;
    FormLayout layout = laidOut(kWidth, kHeight);
    Form_Resize(layout, kLargest, kLargest);
    EXPECT_EQ(layout.lblOrvo[0].width, kLargest - 240);
    EXPECT_EQ(layout.fraFooter.top, kLargest - kFooterHeight - 120);
    EXPECT_EQ(layout.File1.top + layout.File1.height, layout.fraFooter.top);
    Form_Resize(layout, kWidth, kHeight);
    expectSameLayout(layout, laidOut(kWidth, kHeight));
}

} // namespace
