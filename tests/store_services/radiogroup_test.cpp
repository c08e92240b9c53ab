#include "store/radiogroup.h"

#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

TEST(TRadioGroup, ItemIndexFollowsTheCheckedButton)
{
    TRadioGroup group(QStringLiteral("Staff"));
    group.AddItems(
        {QStringLiteral("All Staff"), QStringLiteral("Group"), QStringLiteral("Selected Members")});
    QList<int> seen;
    QObject::connect(&group, &TRadioGroup::ItemIndexChanged, [&](int index) { seen << index; });
    EXPECT_EQ(group.Count(), 3);
    EXPECT_EQ(group.ItemText(2), QStringLiteral("Selected Members"));
    EXPECT_EQ(group.ItemIndex(), -1);

    group.SetItemIndex(1);
    EXPECT_EQ(group.ItemIndex(), 1);
    EXPECT_TRUE(group.Button(1)->isChecked());
    group.Button(2)->click(); // as the user does
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_FALSE(group.Button(1)->isChecked());
    group.SetItemIndex(2); // no change, no signal
    group.SetItemIndex(-1);
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_FALSE(group.Button(2)->isChecked());
    group.SetItemIndex(7); // outside the items: none checked
    EXPECT_EQ(group.ItemIndex(), -1);
    group.SetItemIndex(0);

    EXPECT_EQ(seen, (QList<int>{1, 2, -1, 0}));
    EXPECT_EQ(group.Button(3), nullptr);
    EXPECT_EQ(group.ItemText(-1), QString());
}

} // namespace
