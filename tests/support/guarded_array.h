// A byte safe array whose last element sits right before a no-access page,
// so that a write past its end faults at once, and whose bytes before the
// first element are a known pattern, so that a write before it shows. Its
// descriptor can be bent into the shapes a careless host might hand over.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <vector>

class GuardedArray {
public:
    struct Shape {
        LONG lowerBound = 0;
        USHORT dims = 1;
        ULONG elementSize = 1;
    };
    static constexpr BYTE kFill = 0xA5;   // every element before the grab
    static constexpr BYTE kFence = 0x5A;  // the bytes in front of the first element

    explicit GuardedArray(size_t elements) : GuardedArray(elements, Shape{}) {}
    GuardedArray(size_t elements, Shape shape);
    ~GuardedArray();
    GuardedArray(const GuardedArray&) = delete;
    GuardedArray& operator=(const GuardedArray&) = delete;

    SAFEARRAY* array() const { return array_; }
    SAFEARRAY** ref() { return &array_; }
    BYTE* data() const { return data_; }
    size_t bytes() const { return bytes_; }
    const BYTE& operator[](size_t i) const { return data_[i]; }
    // True while every element still holds kFill.
    bool untouched() const;
    // True while the bytes in front of the first element are intact.
    bool fenceIntact() const;

private:
    BYTE* region_ = nullptr;
    size_t regionSize_ = 0;
    BYTE* data_ = nullptr;
    size_t bytes_ = 0;
    SAFEARRAY* array_ = nullptr;
};
