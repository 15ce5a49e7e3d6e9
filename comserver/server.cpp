// The four exports of an in-process COM server, the class factory and the
// process-wide object and lock counts.
#include "server.h"

#include <objbase.h>

#include <atomic>
#include <new>

namespace {

// Live plug-in objects and class-factory locks in this process, whatever
// apartment they belong to.
std::atomic<LONG> g_objects{0};
std::atomic<LONG> g_locks{0};

// One factory serves any number of objects (the class is multi-use).
class ClassFactory final : public IClassFactory {
public:
    ClassFactory() { ServerObjectCreated(); }
    ~ClassFactory() { ServerObjectDestroyed(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
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
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return CreateGrabberObject(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        ServerLock(lock != FALSE);
        return S_OK;
    }

private:
    LONG refs_ = 1;
};

}  // namespace

void ServerObjectCreated() { ++g_objects; }
void ServerObjectDestroyed() { --g_objects; }
void ServerLock(bool lock) {
    if (lock) ++g_locks;
    else --g_locks;
}
bool ServerInUse() { return g_objects > 0 || g_locks > 0; }

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != ServedIdentity().clsid) return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* factory = new (std::nothrow) ClassFactory;
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return ServerInUse() ? S_FALSE : S_OK; }
