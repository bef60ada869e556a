// Hash table of a fixed number of chains (List of Bucket entries) plus one list through
// all entries, newest first. String keys compare by their bytes, so they are case-sensitive.
#pragma once

#include "core/Array.h"
#include "core/String.h"

#include <cstdint>
#include <type_traits>

namespace cs {

constexpr uint32_t kKeyHashSeed = 0x79E2BC9D;

// Sum of the key's 32-bit little-endian words, its remaining bytes as signed values, and its
// length, starting from the seed; an empty or null key hashes to the seed.
uint32_t KeyHash(const void* key, int length);

template <class K> struct KeyBytes {
    static_assert(std::is_trivially_copyable_v<K>, "raw keys must be plain values");
    static const void* Data(const K& key) { return &key; }
    static int Length(const K&) { return sizeof(K); }
};
template <class Ch> struct KeyBytes<BasicString<Ch>> {
    static const void* Data(const BasicString<Ch>& key) { return key.IsEmpty() ? nullptr : key.c_str(); }
    static int Length(const BasicString<Ch>& key) { return static_cast<int>(key.ByteLength()); }
};

template <class K, class V> struct List;

template <class K, class V> struct Bucket {
    K key;
    V value;
    List<K, V>* chain = nullptr;
    Bucket* prevInChain = nullptr;
    Bucket* nextInChain = nullptr;
    Bucket* prevAll = nullptr; // along the table's list of all entries
    Bucket* nextAll = nullptr;
};

template <class K, class V> struct List {
    int count = 0;
    Bucket<K, V>* first = nullptr;
    Bucket<K, V>* last = nullptr;
};

template <class K, class V> class HashTable {
  public:
    using Entry = Bucket<K, V>;

    explicit HashTable(int chains = 61) { chains_.SetCount(chains > 0 ? chains : 0); }
    HashTable(const HashTable&) = delete;
    HashTable& operator=(const HashTable&) = delete;
    ~HashTable() { Clear(); }

    // Inserts or replaces; true when the key was new.
    bool Set(const K& key, V value) {
        if (chains_.Count() == 0) return false;
        if (Entry* e = Find(key)) {
            e->value = std::move(value);
            return false;
        }
        List<K, V>& chain = chains_[ChainIndex(key)];
        Entry* e = new Entry{key, std::move(value)};
        e->chain = &chain;
        e->nextInChain = chain.first;
        if (chain.first)
            chain.first->prevInChain = e;
        else
            chain.last = e;
        chain.first = e;
        ++chain.count;
        e->nextAll = first_;
        if (first_)
            first_->prevAll = e;
        else
            last_ = e;
        first_ = e;
        ++count_;
        return true;
    }

    Entry* Find(const K& key) const {
        if (chains_.Count() == 0) return nullptr;
        const void* data = KeyBytes<K>::Data(key);
        int length = KeyBytes<K>::Length(key);
        for (Entry* e = chains_[ChainIndex(key)].first; e; e = e->nextInChain)
            if (KeyBytes<K>::Length(e->key) == length &&
                (length == 0 || std::memcmp(KeyBytes<K>::Data(e->key), data, length) == 0))
                return e;
        return nullptr;
    }

    V* Get(const K& key) const {
        Entry* e = Find(key);
        return e ? &e->value : nullptr;
    }

    bool Remove(const K& key) {
        Entry* e = Find(key);
        if (!e) return false;
        List<K, V>& chain = *e->chain;
        (e->prevInChain ? e->prevInChain->nextInChain : chain.first) = e->nextInChain;
        (e->nextInChain ? e->nextInChain->prevInChain : chain.last) = e->prevInChain;
        --chain.count;
        (e->prevAll ? e->prevAll->nextAll : first_) = e->nextAll;
        (e->nextAll ? e->nextAll->prevAll : last_) = e->prevAll;
        --count_;
        delete e;
        return true;
    }

    void Clear() {
        for (Entry* e = first_; e;) {
            Entry* next = e->nextAll;
            delete e;
            e = next;
        }
        first_ = last_ = nullptr;
        count_ = 0;
        for (int i = 0; i < chains_.Count(); ++i)
            chains_[i] = List<K, V>();
    }

    int Count() const { return count_; }
    int ChainCount() const { return chains_.Count(); }
    // Entries newest first.
    Entry* First() const { return first_; }
    template <class F> void ForEach(F&& visit) const {
        for (Entry* e = first_; e; e = e->nextAll)
            visit(e->key, e->value);
    }

    int ChainIndex(const K& key) const {
        return static_cast<int>(KeyHash(KeyBytes<K>::Data(key), KeyBytes<K>::Length(key)) %
                                static_cast<uint32_t>(chains_.Count()));
    }

  private:
    Array<List<K, V>> chains_;
    Entry* first_ = nullptr;
    Entry* last_ = nullptr;
    int count_ = 0;
};

} // namespace cs
