#include "host_array.h"

HostArray::HostArray(SAFEARRAY** reference) {
    if (!reference || !*reference) throw ComError{E_POINTER};
    array_ = *reference;
    if (array_->cDims != 1) throw ComError{DISP_E_BADINDEX};
    if (array_->cbElements != 1) throw ComError{DISP_E_TYPEMISMATCH};
    // Checked before any card call: a descriptor that claims elements but
    // has no storage is refused before the card is asked for a frame.
    if (array_->rgsabound[0].cElements > 0 && !array_->pvData) throw ComError{E_INVALIDARG};
}

HostArray::Lock::Lock(SAFEARRAY* array) : array_(array) {
    if (!array_->pvData) throw ComError{E_INVALIDARG};
    const HRESULT hr = SafeArrayLock(array_);
    if (FAILED(hr)) throw ComError{hr};
}

HostArray::Lock::~Lock() { SafeArrayUnlock(array_); }
