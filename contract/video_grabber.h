// IVideoGrabber: the host application's plug-in interface for frame grabbers.
// A dual interface: every member is reached through the vtable below and
// through IDispatch::Invoke by the DISPIDs in VideoGrabberDispId.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {1F8ABE48-E8AC-11D3-909C-0060676644C1}: the host's VideoGrabber library.
inline constexpr GUID LIBID_VideoGrabber = {0x1F8ABE48, 0xE8AC, 0x11D3, {0x90, 0x9C, 0x00, 0x60, 0x67, 0x66, 0x44, 0xC1}};
inline constexpr WORD kVideoGrabberLibMajor = 1;
inline constexpr WORD kVideoGrabberLibMinor = 0;
// {1F8ABE49-E8AC-11D3-909C-0060676644C1}
inline constexpr IID IID_IVideoGrabber = {0x1F8ABE49, 0xE8AC, 0x11D3, {0x90, 0x9C, 0x00, 0x60, 0x67, 0x66, 0x44, 0xC1}};
// {1F8ABE4A-E8AC-11D3-909C-0060676644C1}: the library's second type, a
// non-creatable class whose default interface is IVideoGrabber.
inline constexpr CLSID CLSID_VideoGrabber = {0x1F8ABE4A, 0xE8AC, 0x11D3, {0x90, 0x9C, 0x00, 0x60, 0x67, 0x66, 0x44, 0xC1}};

enum VideoGrabberDispId : DISPID {
    DISPID_HasColor = 0x40030000,
    DISPID_Color = 0x40030001,
    DISPID_BufferSize = 0x40030002,
    DISPID_DIBxSize = 0x40030003,
    DISPID_XSize = 0x40030004,
    DISPID_YSize = 0x40030005,
    DISPID_HasSetupDlg = 0x40030006,
    DISPID_Init = 0x60030000,
    DISPID_ShutDown = 0x60030001,
    DISPID_Grab = 0x60030002,
    DISPID_SetupDlg = 0x60030003,
};

// Declared at namespace scope with external linkage: objects behind this
// interface come from other modules.
struct IVideoGrabber : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_HasColor(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_HasColor(VARIANT_BOOL RHS) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Color(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Color(VARIANT_BOOL RHS) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BufferSize(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BufferSize(LONG RHS) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DIBxSize(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DIBxSize(LONG RHS) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_XSize(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_XSize(LONG RHS) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_YSize(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_YSize(LONG RHS) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasSetupDlg(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_HasSetupDlg(VARIANT_BOOL RHS) = 0;
    virtual HRESULT STDMETHODCALLTYPE Init(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ShutDown() = 0;
    virtual HRESULT STDMETHODCALLTYPE Grab(SAFEARRAY** DIBbuffer, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetupDlg() = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IVideoGrabber, 0x1F8ABE49, 0xE8AC, 0x11D3, 0x90, 0x9C, 0x00, 0x60, 0x67, 0x66, 0x44, 0xC1)
#endif

// The members in vtable order, as the type library declares them and as
// IDispatch::GetIDsOfNames finds them by name.
struct VideoGrabberMember {
    const wchar_t* name;
    DISPID dispid;
    VARTYPE type;      // property type, or a method's result (VT_EMPTY: none)
    bool isProperty;   // a get and a put entry, in that order
};

inline constexpr VideoGrabberMember kVideoGrabberMembers[] = {
    {L"HasColor", DISPID_HasColor, VT_BOOL, true},
    {L"Color", DISPID_Color, VT_BOOL, true},
    {L"BufferSize", DISPID_BufferSize, VT_I4, true},
    {L"DIBxSize", DISPID_DIBxSize, VT_I4, true},
    {L"XSize", DISPID_XSize, VT_I4, true},
    {L"YSize", DISPID_YSize, VT_I4, true},
    {L"HasSetupDlg", DISPID_HasSetupDlg, VT_BOOL, true},
    {L"Init", DISPID_Init, VT_BOOL, false},
    {L"ShutDown", DISPID_ShutDown, VT_EMPTY, false},
    {L"Grab", DISPID_Grab, VT_BOOL, false},
    {L"SetupDlg", DISPID_SetupDlg, VT_EMPTY, false},
};
inline constexpr const wchar_t* kGrabParameterName = L"DIBbuffer";
inline constexpr const wchar_t* kPutParameterName = L"RHS";

// Dispatches a late-bound call to the vtable members of `grabber`. Written
// once for every plug-in; reports bad calls the way IDispatch::Invoke does.
HRESULT InvokeVideoGrabber(IVideoGrabber* grabber, DISPID member, WORD flags, DISPPARAMS* params,
                           VARIANT* result, UINT* argErr);
// Maps member names (any case) to their DISPIDs; the parameter names of a
// call get DISPIDs 0 and up.
HRESULT GetVideoGrabberIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
