// Late-bound access to IVideoGrabber: a direct switch on the DISPIDs that
// calls the members through the vtable, so every plug-in behaves the same
// early and late bound.
#include "video_grabber.h"

#include <oleauto.h>

namespace {

const VideoGrabberMember* FindMember(DISPID id) {
    for (const auto& m : kVideoGrabberMembers)
        if (m.dispid == id) return &m;
    return nullptr;
}

// Positional argument i counted from the first (DISPPARAMS holds them in reverse).
VARIANT& Arg(DISPPARAMS* params, UINT i) { return params->rgvarg[params->cArgs - 1 - i]; }

HRESULT TypeMismatch(UINT* argErr) {
    if (argErr) *argErr = 0;
    return DISP_E_TYPEMISMATCH;
}

HRESULT GetProperty(IVideoGrabber* g, DISPID id, VARIANT* result) {
    VARIANT_BOOL b = VARIANT_FALSE;
    LONG l = 0;
    HRESULT hr;
    VARTYPE type = VT_I4;
    switch (id) {
    case DISPID_HasColor: hr = g->get_HasColor(&b); type = VT_BOOL; break;
    case DISPID_Color: hr = g->get_Color(&b); type = VT_BOOL; break;
    case DISPID_HasSetupDlg: hr = g->get_HasSetupDlg(&b); type = VT_BOOL; break;
    case DISPID_BufferSize: hr = g->get_BufferSize(&l); break;
    case DISPID_DIBxSize: hr = g->get_DIBxSize(&l); break;
    case DISPID_XSize: hr = g->get_XSize(&l); break;
    case DISPID_YSize: hr = g->get_YSize(&l); break;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    if (SUCCEEDED(hr) && result) {
        V_VT(result) = type;
        if (type == VT_BOOL) V_BOOL(result) = b;
        else V_I4(result) = l;
    }
    return hr;
}

HRESULT PutProperty(IVideoGrabber* g, const VideoGrabberMember& m, VARIANT& value, UINT* argErr) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, &value, 0, m.type))) return TypeMismatch(argErr);
    switch (m.dispid) {
    case DISPID_HasColor: return g->put_HasColor(V_BOOL(&converted));
    case DISPID_Color: return g->put_Color(V_BOOL(&converted));
    case DISPID_HasSetupDlg: return g->put_HasSetupDlg(V_BOOL(&converted));
    case DISPID_BufferSize: return g->put_BufferSize(V_I4(&converted));
    case DISPID_DIBxSize: return g->put_DIBxSize(V_I4(&converted));
    case DISPID_XSize: return g->put_XSize(V_I4(&converted));
    case DISPID_YSize: return g->put_YSize(V_I4(&converted));
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

// Grab's one argument: a byte array by reference, directly or inside a
// VARIANT passed by reference, as script hosts pass it.
SAFEARRAY** ByteArrayReference(VARIANT& arg) {
    if (V_VT(&arg) == (VT_ARRAY | VT_UI1 | VT_BYREF)) return V_ARRAYREF(&arg);
    if (V_VT(&arg) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&arg)) {
        VARIANT* inner = V_VARIANTREF(&arg);
        if (V_VT(inner) == (VT_ARRAY | VT_UI1 | VT_BYREF)) return V_ARRAYREF(inner);
        if (V_VT(inner) == (VT_ARRAY | VT_UI1)) return &V_ARRAY(inner);  // the caller's variant holds it
    }
    return nullptr;
}

void SetBoolResult(VARIANT* result, VARIANT_BOOL b) {
    if (!result) return;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = b;
}

}  // namespace

HRESULT InvokeVideoGrabber(IVideoGrabber* g, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                           UINT* argErr) {
    const VideoGrabberMember* m = FindMember(id);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
    if (result) VariantInit(result);

    if (m->isProperty) {
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            if (params->cNamedArgs > 1 ||
                (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
                return DISP_E_PARAMNOTFOUND;
            return PutProperty(g, *m, Arg(params, 0), argErr);
        }
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        return GetProperty(g, id, result);
    }

    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs > 1 ||
        (params->cNamedArgs == 1 && (id != DISPID_Grab || params->rgdispidNamedArgs[0] != 0)))
        return DISP_E_PARAMNOTFOUND;
    const UINT expected = id == DISPID_Grab ? 1 : 0;
    if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;

    VARIANT_BOOL b = VARIANT_FALSE;
    HRESULT hr;
    switch (id) {
    case DISPID_Init:
        hr = g->Init(&b);
        if (SUCCEEDED(hr)) SetBoolResult(result, b);
        return hr;
    case DISPID_Grab: {
        SAFEARRAY** array = ByteArrayReference(Arg(params, 0));
        if (!array) return TypeMismatch(argErr);
        hr = g->Grab(array, &b);
        if (SUCCEEDED(hr)) SetBoolResult(result, b);
        return hr;
    }
    case DISPID_ShutDown: return g->ShutDown();
    case DISPID_SetupDlg: return g->SetupDlg();
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT GetVideoGrabberIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    const VideoGrabberMember* found = nullptr;
    for (const auto& m : kVideoGrabberMembers)
        if (names[0] && lstrcmpiW(names[0], m.name) == 0) found = &m;
    ids[0] = found ? found->dispid : DISPID_UNKNOWN;
    HRESULT hr = found ? S_OK : DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {
        const wchar_t* parameter = nullptr;
        if (found && found->dispid == DISPID_Grab) parameter = kGrabParameterName;
        else if (found && found->isProperty) parameter = kPutParameterName;
        const bool known = parameter && names[i] && lstrcmpiW(names[i], parameter) == 0;
        ids[i] = known ? 0 : DISPID_UNKNOWN;
        if (!known) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}
