// The COM object the host holds: IUnknown, IDispatch and IVideoGrabber
// around one plug-in class. The default interface of the class (_clsX) has
// no members of its own, so it is answered with the same dual vtable.
#include "server.h"

#include "com_error.h"
#include "video_grabber.h"

#include <new>
#include <utility>

namespace {

class GrabberObject final : public IVideoGrabber {
public:
    explicit GrabberObject(std::unique_ptr<Grabber> grabber) : grabber_(std::move(grabber)) { ServerObjectCreated(); }
    ~GrabberObject() {
        // Destroy the plug-in (which may still talk to its card) before the
        // server may be unloaded.
        grabber_.reset();
        ServerObjectDestroyed();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IVideoGrabber ||
            iid == ServedIdentity().defaultIid) {
            *out = static_cast<IVideoGrabber*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return GetVideoGrabberIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argErr) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        return InvokeVideoGrabber(this, id, flags, params, result, argErr);
    }

    // IVideoGrabber: properties. Puts other than Color are accepted and ignored.
    HRESULT STDMETHODCALLTYPE get_HasColor(VARIANT_BOOL* r) override { return Get(r, &Grabber::HasColor); }
    HRESULT STDMETHODCALLTYPE put_HasColor(VARIANT_BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_Color(VARIANT_BOOL* r) override { return Get(r, &Grabber::Color); }
    HRESULT STDMETHODCALLTYPE put_Color(VARIANT_BOOL value) override {
        grabber_->SetColor(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BufferSize(LONG* r) override { return Get(r, &Grabber::BufferSize); }
    HRESULT STDMETHODCALLTYPE put_BufferSize(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_DIBxSize(LONG* r) override { return Get(r, &Grabber::DIBxSize); }
    HRESULT STDMETHODCALLTYPE put_DIBxSize(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_XSize(LONG* r) override { return Get(r, &Grabber::XSize); }
    HRESULT STDMETHODCALLTYPE put_XSize(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_YSize(LONG* r) override { return Get(r, &Grabber::YSize); }
    HRESULT STDMETHODCALLTYPE put_YSize(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_HasSetupDlg(VARIANT_BOOL* r) override {
        if (!r) return E_POINTER;
        *r = VARIANT_FALSE;  // no plug-in has a set-up dialog
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_HasSetupDlg(VARIANT_BOOL) override { return S_OK; }

    // IVideoGrabber: methods.
    HRESULT STDMETHODCALLTYPE Init(VARIANT_BOOL* r) override {
        if (!r) return E_POINTER;
        return Run([&] { *r = ToVariantBool(grabber_->Init()); });
    }
    HRESULT STDMETHODCALLTYPE ShutDown() override {
        return Run([&] { grabber_->ShutDown(); });
    }
    HRESULT STDMETHODCALLTYPE Grab(SAFEARRAY** buffer, VARIANT_BOOL* r) override {
        if (!r) return E_POINTER;
        return Run([&] { *r = ToVariantBool(grabber_->Grab(buffer)); });
    }
    HRESULT STDMETHODCALLTYPE SetupDlg() override { return S_OK; }

private:
    template <typename T>
    HRESULT Get(T* result, T (Grabber::*getter)() const) const {
        if (!result) return E_POINTER;
        *result = (grabber_.get()->*getter)();
        return S_OK;
    }

    // Init, Grab and ShutDown talk to the card and may show a message box,
    // which pumps the host's messages. A host that calls Init, Grab or
    // ShutDown on this object again from such a message would interleave two
    // card sequences: the nested call is refused, with no effect. The object
    // also holds a reference to itself, so that a host releasing it from a
    // message cannot destroy it under the running call.
    template <typename F>
    HRESULT Run(F&& body) {
        if (busy_) return HRESULT_FROM_WIN32(ERROR_BUSY);
        busy_ = true;
        AddRef();
        HRESULT hr = S_OK;
        try {
            body();
        } catch (const ComError& e) {
            hr = e.hr;
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        busy_ = false;
        Release();
        return hr;
    }

    LONG refs_ = 1;
    bool busy_ = false;
    std::unique_ptr<Grabber> grabber_;
};

HRESULT GrabberObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    // IVideoGrabber's description lives in the host's VideoGrabber library.
    ITypeLib* library = nullptr;
    HRESULT hr = LoadRegTypeLib(LIBID_VideoGrabber, kVideoGrabberLibMajor, kVideoGrabberLibMinor, 0, &library);
    if (FAILED(hr)) return hr;
    hr = library->GetTypeInfoOfGuid(IID_IVideoGrabber, info);
    library->Release();
    return hr;
}

}  // namespace

HRESULT CreateGrabberObject(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    GrabberObject* object = nullptr;
    try {
        object = new GrabberObject(CreateServedGrabber());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}
