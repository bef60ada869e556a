#include "core/HashTable.h"
#include "core/Text.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(KeyHash, Rule) {
    EXPECT_EQ(KeyHash(nullptr, 4), 0x79E2BC9Du);
    EXPECT_EQ(KeyHash("x", 0), 0x79E2BC9Du);
    unsigned char one = 0x7F;
    EXPECT_EQ(KeyHash(&one, 1), 0x79E2BC9Du + 0x7F + 1);
    unsigned char high = 0x80; // remaining bytes count as signed values
    EXPECT_EQ(KeyHash(&high, 1), 0x79E2BC9Du - 0x80 + 1);
    unsigned char four[4] = {1, 2, 3, 4};
    EXPECT_EQ(KeyHash(four, 4), 0x79E2BC9Du + 0x04030201u + 4);
    unsigned char six[6] = {1, 0, 0, 0, 0xFF, 2};
    EXPECT_EQ(KeyHash(six, 6), 0x79E2BC9Du + 1u - 1u + 2u + 6u);
    uint32_t big[2] = {0xFFFFFFFFu, 0xFFFFFFFFu}; // sums wrap
    EXPECT_EQ(KeyHash(big, 8), 0x79E2BC9Du - 2u + 8u);
}

TEST(HashTableTest, SetFindReplaceRemove) {
    HashTable<String, int> table(7);
    EXPECT_TRUE(table.Set(u"one", 1));
    EXPECT_TRUE(table.Set(u"two", 2));
    EXPECT_FALSE(table.Set(u"one", 11)) << "a second set of the same key is not new";
    EXPECT_EQ(table.Count(), 2);
    ASSERT_NE(table.Get(u"one"), nullptr);
    EXPECT_EQ(*table.Get(u"one"), 11);
    EXPECT_EQ(table.Get(u"three"), nullptr);
    EXPECT_TRUE(table.Remove(u"one"));
    EXPECT_FALSE(table.Remove(u"one"));
    EXPECT_EQ(table.Count(), 1);
    EXPECT_EQ(table.First()->key, u"two");
}

TEST(HashTableTest, StringKeysAreCaseSensitive) {
    HashTable<String, bool> table(3);
    table.Set(u"Key", true);
    table.Set(u"KEY", false);
    EXPECT_EQ(table.Count(), 2);
    EXPECT_EQ(CompareNoCase(u"Key", u"KEY"), 0);
}

TEST(HashTableTest, WalkIsNewestFirstAndChainIsHashModulo) {
    HashTable<int, int> table(5);
    for (int i = 0; i < 20; ++i)
        table.Set(i, i * i);
    std::vector<int> keys;
    table.ForEach([&](int key, int value) {
        EXPECT_EQ(value, key * key);
        keys.push_back(key);
    });
    ASSERT_EQ(keys.size(), 20u);
    EXPECT_EQ(keys.front(), 19);
    EXPECT_EQ(keys.back(), 0);
    int key = 12345;
    EXPECT_EQ(table.ChainIndex(key), static_cast<int>(KeyHash(&key, 4) % 5));
    table.Remove(10);
    keys.clear();
    table.ForEach([&](int k, int) { keys.push_back(k); });
    EXPECT_EQ(keys.size(), 19u);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), 10), 0);
}

TEST(HashTableTest, NoChainsFindsNothing) {
    HashTable<int, int> table(0);
    EXPECT_FALSE(table.Set(1, 1));
    EXPECT_EQ(table.Find(1), nullptr);
}
