#include "core/Array.h"
#include "core/String.h"

#include "support/DeathTest.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(ArrayCapacity, SevenAppendsFollowTheGrowthRule) {
    Array<int> a;
    const int capacities[] = {1, 3, 3, 6, 6, 6, 10};
    const int firstSlots[] = {0, 0, 0, 1, 1, 0, 1};
    for (int i = 0; i < 7; ++i) {
        a.Append(i);
        EXPECT_EQ(a.Capacity(), capacities[i]) << "after append " << i + 1;
        EXPECT_EQ(a.FirstSlot(), firstSlots[i]) << "after append " << i + 1;
    }
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(a[i], i);
}

TEST(ArrayCapacity, CopyGetsHalfAgainWithFirstQuarterFree) {
    Array<int> a;
    for (int i = 0; i < 8; ++i)
        a.Append(i);
    Array<int> copy(a);
    EXPECT_EQ(copy.Count(), 8);
    EXPECT_EQ(copy.Capacity(), 12);
    EXPECT_EQ(copy.FirstSlot(), 2);
    copy[0] = 99;
    EXPECT_EQ(a[0], 0) << "a copy owns its own elements";
}

TEST(ArrayCapacity, LargeBufferShrinksWhenFarTooBig) {
    Array<int> a;
    a.SetCount(4000);
    EXPECT_EQ(a.Capacity(), 6000);
    a.SetCount(600);
    a.Append(1); // needs room for 601 < 6000/4
    EXPECT_EQ(a.Capacity(), 601 + 300);
    EXPECT_EQ(a.FirstSlot(), 150);
    EXPECT_EQ(a.Count(), 601);
}

TEST(ArrayEdit, InsertRemoveSetCount) {
    Array<String> a{u"b", u"d"};
    a.Insert(0, u"a");
    a.Insert(2, u"c");
    a.Insert(99, u"e");
    ASSERT_EQ(a.Count(), 5);
    const char16_t* expected[] = {u"a", u"b", u"c", u"d", u"e"};
    int i = 0;
    for (const String& s : a)
        EXPECT_EQ(s, expected[i++]);
    a.RemoveAt(1);
    EXPECT_EQ(a[1], u"c");
    a.SetCount(2);
    EXPECT_EQ(a.Count(), 2);
    a.SetCount(4);
    EXPECT_TRUE(a[3].IsEmpty()) << "growing creates default elements";
    EXPECT_EQ(a.IndexOf([](const String& s) { return s == u"c"; }), 1);
}

TEST(ArrayAccess, LenientYieldsEmpty) {
    Array<String> a{u"x"};
    EXPECT_EQ(a.Get(0), u"x");
    EXPECT_TRUE(a.Get(1).IsEmpty());
    EXPECT_TRUE(a.Get(-1).IsEmpty());
}

TEST(ArrayAccessDeathTest, StrictOutOfRangeIsFatal) {
    Array<String> a{u"a", u"b", u"c"};
    EXPECT_EXIT((void)a[5], ExitedFatally(), "Vector<class String>\\[5\\]\r\nmax_index = 2");
    Array<int> empty;
    EXPECT_EXIT((void)empty[0], ExitedFatally(), "Vector<int>\\[0\\]\r\nmax_index = -1");
}
