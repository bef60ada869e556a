// Growable ordered sequence of individually allocated elements, held as a buffer of
// element pointers with free slots at both ends. The array owns its elements.
#pragma once

#include "core/Fatal.h"
#include "core/TypeName.h"

#include <initializer_list>
#include <utility>

namespace cs {

template <class T> class Array {
  public:
    Array() = default;
    Array(std::initializer_list<T> items) {
        for (const T& item : items)
            Append(item);
    }
    Array(const Array& other) { CopyFrom(other); }
    Array(Array&& other) noexcept { Swap(other); }
    ~Array() { Destroy(); }
    Array& operator=(const Array& other) {
        if (this != &other) {
            Array copy(other);
            Swap(copy);
        }
        return *this;
    }
    Array& operator=(Array&& other) noexcept {
        if (this != &other) {
            Destroy();
            Swap(other);
        }
        return *this;
    }

    int Count() const { return count_; }
    int Capacity() const { return capacity_; }
    int FirstSlot() const { return first_; }
    bool IsEmpty() const { return count_ == 0; }

    // Shrinking destroys the excess elements; growing appends default-constructed ones.
    void SetCount(int n) {
        if (n < 0) n = 0;
        while (count_ > n) {
            delete slots_[first_ + count_ - 1];
            --count_;
        }
        if (n > count_) {
            Reserve(n);
            while (count_ < n) {
                slots_[first_ + count_] = new T();
                ++count_;
            }
        }
    }

    T& Append(T value = T()) { return Insert(count_, std::move(value)); }

    // Inserts before index (clamped to 0..count).
    T& Insert(int index, T value) {
        if (index < 0) index = 0;
        if (index > count_) index = count_;
        T* element = new T(std::move(value));
        Reserve(count_ + 1);
        for (int i = count_; i > index; --i)
            slots_[first_ + i] = slots_[first_ + i - 1];
        slots_[first_ + index] = element;
        ++count_;
        return *element;
    }

    void RemoveAt(int index) {
        CheckIndex(index);
        delete slots_[first_ + index];
        for (int i = index; i + 1 < count_; ++i)
            slots_[first_ + i] = slots_[first_ + i + 1];
        --count_;
    }

    void Clear() { SetCount(0); }

    // Strict access: an index outside 0..count-1 is a fatal error.
    T& operator[](int index) {
        CheckIndex(index);
        return *slots_[first_ + index];
    }
    const T& operator[](int index) const {
        CheckIndex(index);
        return *slots_[first_ + index];
    }
    // Lenient access: an index outside the array yields an empty element.
    const T& Get(int index) const {
        static const T empty{};
        return index >= 0 && index < count_ ? *slots_[first_ + index] : empty;
    }
    T& Last() { return (*this)[count_ - 1]; }

    template <class F> int IndexOf(F&& predicate) const {
        for (int i = 0; i < count_; ++i)
            if (predicate(*slots_[first_ + i])) return i;
        return -1;
    }

    class Iterator {
      public:
        Iterator(T* const* slot) : slot_(slot) {}
        T& operator*() const { return **slot_; }
        T* operator->() const { return *slot_; }
        Iterator& operator++() {
            ++slot_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return slot_ != other.slot_; }

      private:
        T* const* slot_;
    };
    Iterator begin() const { return Iterator(slots_ ? slots_ + first_ : nullptr); }
    Iterator end() const { return Iterator(slots_ ? slots_ + first_ + count_ : nullptr); }

    void Swap(Array& other) noexcept {
        std::swap(count_, other.count_);
        std::swap(first_, other.first_);
        std::swap(capacity_, other.capacity_);
        std::swap(slots_, other.slots_);
    }

  private:
    void CheckIndex(int index) const {
        if (index < 0 || index >= count_)
            FatalError(u"Vector<%s>[%d]\r\nmax_index = %d", TypeName<T>(), index, count_ - 1);
    }

    // Makes room for n elements. A new buffer (n + n/2 slots, elements from slot n/4) when
    // the capacity is too small or far too large; otherwise the elements are centred
    // when they would run past the end.
    void Reserve(int n) {
        if (capacity_ < n || (n > 500 && n < capacity_ / 4)) {
            int capacity = n + n / 2;
            T** slots = new T*[capacity];
            int first = n / 4;
            int keep = count_ < n ? count_ : n;
            for (int i = 0; i < keep; ++i)
                slots[first + i] = slots_[first_ + i];
            delete[] slots_;
            slots_ = slots;
            capacity_ = capacity;
            first_ = first;
        } else if (capacity_ < n + first_) {
            int first = (capacity_ - n) / 2;
            for (int i = 0; i < count_; ++i)
                slots_[first + i] = slots_[first_ + i];
            first_ = first;
        }
    }

    void CopyFrom(const Array& other) {
        int n = other.count_;
        if (n == 0) return;
        capacity_ = n + n / 2;
        first_ = n / 4;
        slots_ = new T*[capacity_];
        for (int i = 0; i < n; ++i) {
            slots_[first_ + i] = new T(*other.slots_[other.first_ + i]);
            count_ = i + 1;
        }
    }

    void Destroy() {
        for (int i = 0; i < count_; ++i)
            delete slots_[first_ + i];
        delete[] slots_;
        slots_ = nullptr;
        count_ = first_ = capacity_ = 0;
    }

    int count_ = 0;
    int first_ = 0;
    int capacity_ = 0;
    T** slots_ = nullptr;
};

} // namespace cs
