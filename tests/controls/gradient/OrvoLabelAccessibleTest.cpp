// The gradient label as assistive technology sees it: static text named by its caption.
#include "OrvoLabel.h"

#include <QAccessible>
#include <gtest/gtest.h>

namespace {

TEST(OrvoLabelAccessible, StaticTextNamedByTheCaptionAsShownAndRenamedWithIt) {
    OrvoLabel label;
    label.setCaption("&1) Pick && go");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&label);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::StaticText);
    EXPECT_EQ(face->text(QAccessible::Name), "1) Pick & go");
    EXPECT_FALSE(face->state().focusable);

    label.setCaption("2) Next");
    EXPECT_EQ(face->text(QAccessible::Name), "2) Next");
    label.setAccessibleName("Step two");
    EXPECT_EQ(face->text(QAccessible::Name), "Step two");
}

} // namespace
