// A minimal owning pointer for COM interfaces in the tests.
#pragma once

#include <objbase.h>

#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() {
        if (p_) p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what it held.
    T** put() {
        *this = ComPtr();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* release() { return std::exchange(p_, nullptr); }

    template <typename U>
    ComPtr<U> as(REFIID iid) const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, out.putVoid());
        return out;
    }

private:
    T* p_ = nullptr;
};
