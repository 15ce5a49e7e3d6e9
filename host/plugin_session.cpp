#include "plugin_session.h"

#include <objbase.h>
#include <oleauto.h>

PluginSession::PluginSession(const std::wstring& progId, bool color) : progId_(progId) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid)))
        throw ToolError{kNotCreated, progId + L" is not registered (run regsvr32 on its DLL)"};
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVideoGrabber, grabber_.putVoid());
    if (FAILED(hr)) Fail(kNotCreated, L"cannot be created: " + DescribeHresult(hr));

    auto check = [this](HRESULT result, const wchar_t* member) {
        if (FAILED(result)) Fail(kCallFailed, std::wstring(member) + L" failed: " + DescribeHresult(result));
    };
    if (color) check(grabber_->put_Color(VARIANT_TRUE), L"Color");
    VARIANT_BOOL ok = VARIANT_FALSE;
    check(grabber_->Init(&ok), L"Init");
    if (!ok) Fail(kInitFailed, L"Init returned False");
    try {
        ReportedSizes& s = properties_.sizes;
        VARIANT_BOOL hasColor = VARIANT_FALSE, colorNow = VARIANT_FALSE, hasSetupDlg = VARIANT_FALSE;
        check(grabber_->get_XSize(&s.xSize), L"XSize");
        check(grabber_->get_YSize(&s.ySize), L"YSize");
        check(grabber_->get_DIBxSize(&s.dibxSize), L"DIBxSize");
        check(grabber_->get_BufferSize(&s.bufferSize), L"BufferSize");
        check(grabber_->get_HasColor(&hasColor), L"HasColor");
        check(grabber_->get_Color(&colorNow), L"Color");
        check(grabber_->get_HasSetupDlg(&hasSetupDlg), L"HasSetupDlg");
        properties_.hasColor = hasColor != VARIANT_FALSE;
        properties_.color = colorNow != VARIANT_FALSE;
        properties_.hasSetupDlg = hasSetupDlg != VARIANT_FALSE;
    } catch (const ToolError&) {
        grabber_->ShutDown();  // the card is open: close it as a host would
        throw;
    }
}

PluginSession::~PluginSession() {
    if (!shutDown_) grabber_->ShutDown();
    if (array_) SafeArrayDestroy(array_);
}

const BYTE* PluginSession::Grab() {
    if (!array_) {
        if (properties_.sizes.bufferSize <= 0)
            Fail(kInvalidFrame, L"BufferSize is " + std::to_wstring(properties_.sizes.bufferSize) + L": no array to grab into");
        array_ = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(properties_.sizes.bufferSize));
        if (!array_) Fail(kCallFailed, L"no memory for a frame of " + std::to_wstring(properties_.sizes.bufferSize) + L" bytes");
    }
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = grabber_->Grab(&array_, &ok);
    if (FAILED(hr)) Fail(kCallFailed, L"Grab failed: " + DescribeHresult(hr));
    if (!ok) Fail(kGrabFailed, L"Grab returned False");
    return static_cast<const BYTE*>(array_->pvData);
}

void PluginSession::ShutDown() {
    shutDown_ = true;
    const HRESULT hr = grabber_->ShutDown();
    if (FAILED(hr)) Fail(kCallFailed, L"ShutDown failed: " + DescribeHresult(hr));
}

void PluginSession::Fail(ExitStatus status, const std::wstring& what) const {
    throw ToolError{status, progId_ + L": " + what};
}
