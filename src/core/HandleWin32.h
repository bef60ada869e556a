// Owners of system handles: each closes its handle when it leaves scope, so no path out of a
// function forgets one. They move but never copy; Release() hands the handle over unclosed.
//
// Closing keeps the thread's last error as it was: a function may fail, return, and its caller
// still reads the failure's code after the owners in between have closed their handles.
#pragma once

#include <windows.h>

namespace cs {

// Keeps the thread's last error across a scope: for work that must not disturb the code a
// caller reads afterwards.
class LastErrorKept {
  public:
    LastErrorKept() : error_(GetLastError()) {}
    ~LastErrorKept() { SetLastError(error_); }
    LastErrorKept(const LastErrorKept&) = delete;
    LastErrorKept& operator=(const LastErrorKept&) = delete;

  private:
    DWORD error_;
};

template <class Traits> class UniqueOwner {
  public:
    using Handle = typename Traits::Handle;

    UniqueOwner() = default;
    explicit UniqueOwner(Handle handle) : handle_(handle) {}
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.Release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    ~UniqueOwner() { Reset(); }

    Handle Get() const { return handle_; }
    bool IsValid() const { return Traits::IsValid(handle_); }
    explicit operator bool() const { return IsValid(); }

    // Gives the handle up without closing it; the owner is empty afterwards.
    Handle Release() {
        Handle handle = handle_;
        handle_ = Traits::Empty();
        return handle;
    }

    // Closes the handle held (if any) and takes the new one.
    void Reset(Handle handle = Traits::Empty()) {
        Handle old = handle_;
        handle_ = handle;
        if (Traits::IsValid(old) && old != handle) {
            LastErrorKept kept;
            Traits::Close(old);
        }
    }

    // For calls that return the handle through a pointer: closes the handle held and gives
    // the address of the empty slot.
    Handle* Put() {
        Reset();
        return &handle_;
    }

  private:
    Handle handle_ = Traits::Empty();
};

// Kernel objects (files, events, processes, threads, tokens, ...): CloseHandle. Both null and
// INVALID_HANDLE_VALUE count as empty, since the system's calls return one or the other.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

// Registry keys: RegCloseKey.
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};

// File searches (FindFirstFileW and its kin): FindClose.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

using UniqueHandle = UniqueOwner<KernelHandleTraits>;
using UniqueKey = UniqueOwner<RegistryKeyTraits>;
using UniqueFind = UniqueOwner<FindHandleTraits>;

// A COM interface pointer, released on scope exit. `&ref` releases what it holds and gives the
// empty slot a creating call fills.
template <class T> class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }
    T** operator&() {
        Reset();
        return &p_;
    }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

  private:
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* p_ = nullptr;
};

} // namespace cs
