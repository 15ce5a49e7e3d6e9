#include "guarded_array.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr size_t kPage = 4096;
constexpr size_t kFenceBytes = 256;
}  // namespace

GuardedArray::GuardedArray(size_t elements, Shape shape) {
    bytes_ = elements * shape.elementSize;
    const size_t used = bytes_ + kFenceBytes;
    const size_t dataPages = (used + kPage - 1) / kPage;
    regionSize_ = (dataPages + 1) * kPage;
    region_ = static_cast<BYTE*>(VirtualAlloc(nullptr, regionSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(region_ + dataPages * kPage, kPage, PAGE_NOACCESS, &old);
    data_ = region_ + dataPages * kPage - bytes_;
    std::memset(region_, kFence, data_ - region_);
    std::memset(data_, kFill, bytes_);

    SafeArrayAllocDescriptor(shape.dims, &array_);
    // The storage belongs to this object: SafeArrayDestroy must not free it.
    array_->fFeatures = FADF_STATIC | FADF_FIXEDSIZE;
    array_->cbElements = shape.elementSize;
    array_->pvData = data_;
    for (USHORT d = 0; d < shape.dims; ++d) {
        array_->rgsabound[d].cElements = d == 0 ? static_cast<ULONG>(elements) : 1;
        array_->rgsabound[d].lLbound = shape.lowerBound;
    }
}

GuardedArray::~GuardedArray() {
    if (array_) SafeArrayDestroyDescriptor(array_);
    VirtualFree(region_, 0, MEM_RELEASE);
}

bool GuardedArray::untouched() const {
    return std::all_of(data_, data_ + bytes_, [](BYTE b) { return b == kFill; });
}

bool GuardedArray::fenceIntact() const {
    return std::all_of(region_, data_, [](BYTE b) { return b == kFence; });
}
