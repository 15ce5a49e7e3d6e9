// Writes the type libraries at build time, through the system's own
// ICreateTypeLib2 (run under Wine):
//   VideoGrabber.tlb     the host's library that defines IVideoGrabber;
//   <deliverable>.tlb    each plug-in's library, which imports
//                        VideoGrabber.tlb and refers to IVideoGrabber there;
//   <deliverable>.iid    each plug-in's identity resource: the length 16 and
//                        the default interface's IID.
// A reference into an imported library is recorded under the file name the
// imported library was created with, so both VideoGrabber and a stand-in for
// the OLE Automation library (stdole2.tlb, for IDispatch) are created here
// under their bare file names; only the stand-in is never written.
//
// Usage: build_typelibs <output folder>
#include "deliverables.h"
#include "video_grabber.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Failure {
    const char* what;
    HRESULT hr;
};

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw Failure{what, hr};
}

template <typename T>
class Ref {
public:
    Ref() = default;
    ~Ref() {
        if (p_) p_->Release();
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T** put() { return &p_; }
    void reset(T* p) {
        if (p_) p_->Release();
        p_ = p;
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

constexpr GUID kLibidStdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Type flags as the type library stores them.
constexpr WORD kDualClassInterfaceFlags =
    TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
static_assert(kDualClassInterfaceFlags == 0x11D0);
constexpr WORD kVideoGrabberFlags =
    TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

ICreateTypeInfo* NewType(ICreateTypeLib2* lib, const wchar_t* name, TYPEKIND kind, const GUID& guid) {
    ICreateTypeInfo* info = nullptr;
    Check(lib->CreateTypeInfo(const_cast<LPOLESTR>(name), kind, &info), "CreateTypeInfo");
    Check(info->SetGuid(guid), "SetGuid");
    Check(info->SetVersion(1, 0), "SetVersion");
    return info;
}

HREFTYPE Reference(ICreateTypeInfo* from, ICreateTypeInfo* to) {
    Ref<ITypeInfo> target;
    Check(to->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(target.put())), "QueryInterface(ITypeInfo)");
    HREFTYPE ref = 0;
    Check(from->AddRefTypeInfo(target.get(), &ref), "AddRefTypeInfo");
    return ref;
}

void AddFunction(ICreateTypeInfo* info, UINT index, DISPID id, INVOKEKIND kind, std::vector<ELEMDESC> params,
                 std::vector<const wchar_t*> names) {
    FUNCDESC f{};
    f.memid = id;
    f.funckind = FUNC_PUREVIRTUAL;
    f.invkind = kind;
    f.callconv = CC_STDCALL;
    f.cParams = static_cast<SHORT>(params.size());
    f.lprgelemdescParam = params.empty() ? nullptr : params.data();
    f.oVft = static_cast<SHORT>((7 + index) * sizeof(void*));
    f.elemdescFunc.tdesc.vt = VT_HRESULT;
    Check(info->AddFuncDesc(index, &f), "AddFuncDesc");
    Check(info->SetFuncAndParamNames(index, const_cast<LPOLESTR*>(names.data()), static_cast<UINT>(names.size())),
          "SetFuncAndParamNames");
}

// The stand-in for stdole2.tlb: IUnknown and IDispatch with their IIDs and
// vtable sizes, enough to refer to IDispatch and to lay out what derives
// from it.
struct StdOle {
    Ref<ICreateTypeLib2> lib;
    Ref<ICreateTypeInfo> unknown;
    Ref<ICreateTypeInfo> dispatch;
};

void BuildStdOle(StdOle& s) {
    Check(CreateTypeLib2(SYS_WIN32, const_cast<LPOLESTR>(L"stdole2.tlb"), s.lib.put()), "CreateTypeLib2(stdole2)");
    Check(s.lib->SetName(const_cast<LPOLESTR>(L"stdole")), "SetName");
    Check(s.lib->SetGuid(kLibidStdOle), "SetGuid");
    Check(s.lib->SetVersion(2, 0), "SetVersion");
    Check(s.lib->SetLcid(0), "SetLcid");
    ICreateTypeInfo* unknown = NewType(s.lib.get(), L"IUnknown", TKIND_INTERFACE, IID_IUnknown);
    s.unknown.reset(unknown);
    const wchar_t* unknownNames[] = {L"QueryInterface", L"AddRef", L"Release"};
    for (UINT i = 0; i < 3; ++i) {
        FUNCDESC f{};
        f.memid = 0x60000000 + i;
        f.funckind = FUNC_PUREVIRTUAL;
        f.invkind = INVOKE_FUNC;
        f.callconv = CC_STDCALL;
        f.oVft = static_cast<SHORT>(i * sizeof(void*));
        f.elemdescFunc.tdesc.vt = VT_HRESULT;
        Check(unknown->AddFuncDesc(i, &f), "AddFuncDesc(IUnknown)");
        Check(unknown->SetFuncAndParamNames(i, const_cast<LPOLESTR*>(&unknownNames[i]), 1), "names(IUnknown)");
    }
    ICreateTypeInfo* dispatch = NewType(s.lib.get(), L"IDispatch", TKIND_INTERFACE, IID_IDispatch);
    s.dispatch.reset(dispatch);
    Check(dispatch->AddImplType(0, Reference(dispatch, unknown)), "AddImplType(IDispatch)");
    const wchar_t* dispatchNames[] = {L"GetTypeInfoCount", L"GetTypeInfo", L"GetIDsOfNames", L"Invoke"};
    for (UINT i = 0; i < 4; ++i) {
        FUNCDESC f{};
        f.memid = 0x60010000 + i;
        f.funckind = FUNC_PUREVIRTUAL;
        f.invkind = INVOKE_FUNC;
        f.callconv = CC_STDCALL;
        f.oVft = static_cast<SHORT>((3 + i) * sizeof(void*));
        f.elemdescFunc.tdesc.vt = VT_HRESULT;
        Check(dispatch->AddFuncDesc(i, &f), "AddFuncDesc(IDispatch)");
        Check(dispatch->SetFuncAndParamNames(i, const_cast<LPOLESTR*>(&dispatchNames[i]), 1), "names(IDispatch)");
    }
    Check(unknown->LayOut(), "LayOut(IUnknown)");
    Check(dispatch->LayOut(), "LayOut(IDispatch)");
}

ELEMDESC In(TYPEDESC type) {
    ELEMDESC e{};
    e.tdesc = type;
    e.paramdesc.wParamFlags = PARAMFLAG_FIN;
    return e;
}

ELEMDESC RetVal(TYPEDESC* pointee) {
    ELEMDESC e{};
    e.tdesc.vt = VT_PTR;
    e.tdesc.lptdesc = pointee;
    e.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    return e;
}

struct VideoGrabberLib {
    Ref<ICreateTypeLib2> lib;
    Ref<ICreateTypeInfo> grabber;
};

void BuildVideoGrabber(VideoGrabberLib& v, StdOle& stdole) {
    Check(CreateTypeLib2(SYS_WIN32, const_cast<LPOLESTR>(L"VideoGrabber.tlb"), v.lib.put()), "CreateTypeLib2(VideoGrabber)");
    Check(v.lib->SetName(const_cast<LPOLESTR>(L"VideoGrabber")), "SetName");
    Check(v.lib->SetGuid(LIBID_VideoGrabber), "SetGuid");
    Check(v.lib->SetVersion(kVideoGrabberLibMajor, kVideoGrabberLibMinor), "SetVersion");
    Check(v.lib->SetLcid(0), "SetLcid");

    ICreateTypeInfo* grabber = NewType(v.lib.get(), L"IVideoGrabber", TKIND_INTERFACE, IID_IVideoGrabber);
    v.grabber.reset(grabber);
    Check(grabber->SetTypeFlags(kVideoGrabberFlags), "SetTypeFlags(IVideoGrabber)");
    Check(grabber->AddImplType(0, Reference(grabber, stdole.dispatch.get())), "AddImplType(IVideoGrabber)");

    UINT slot = 0;
    for (const VideoGrabberMember& m : kVideoGrabberMembers) {
        TYPEDESC valueType{};
        valueType.vt = m.type;
        if (m.isProperty) {
            AddFunction(grabber, slot++, m.dispid, INVOKE_PROPERTYGET, {RetVal(&valueType)}, {m.name});
            // The value parameter of a put is not named in a type library.
            AddFunction(grabber, slot++, m.dispid, INVOKE_PROPERTYPUT, {In(valueType)}, {m.name});
        } else if (m.dispid == DISPID_Grab) {
            // [in, out] SAFEARRAY(unsigned char)* DIBbuffer, [out, retval] VARIANT_BOOL*
            TYPEDESC byteType{};
            byteType.vt = VT_UI1;
            TYPEDESC arrayType{};
            arrayType.vt = VT_SAFEARRAY;
            arrayType.lptdesc = &byteType;
            ELEMDESC buffer{};
            buffer.tdesc.vt = VT_PTR;
            buffer.tdesc.lptdesc = &arrayType;
            buffer.paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOUT;
            AddFunction(grabber, slot++, m.dispid, INVOKE_FUNC, {buffer, RetVal(&valueType)},
                        {m.name, kGrabParameterName});
        } else if (m.type == VT_EMPTY) {
            AddFunction(grabber, slot++, m.dispid, INVOKE_FUNC, {}, {m.name});
        } else {
            AddFunction(grabber, slot++, m.dispid, INVOKE_FUNC, {RetVal(&valueType)}, {m.name});
        }
    }

    // The library's second type: a class whose default interface is
    // IVideoGrabber. The plug-ins never use it.
    Ref<ICreateTypeInfo> cls;
    cls.reset(NewType(v.lib.get(), L"clsVideoGrabber", TKIND_COCLASS, CLSID_VideoGrabber));
    Check(cls->AddImplType(0, Reference(cls.get(), grabber)), "AddImplType(clsVideoGrabber)");
    Check(cls->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags");

    Check(grabber->LayOut(), "LayOut(IVideoGrabber)");
    Check(cls->LayOut(), "LayOut(clsVideoGrabber)");
    // Wine's LayOut may change the flags it was given: set them again.
    Check(grabber->SetTypeFlags(kVideoGrabberFlags), "SetTypeFlags(IVideoGrabber)");
    Check(cls->SetTypeFlags(0), "SetTypeFlags(clsVideoGrabber)");
    Check(v.lib->SaveAllChanges(), "SaveAllChanges(VideoGrabber)");
}

// Wine's type-library writer lays out the fields of a record but leaves the
// record's size (cbSizeInstance) at 0, and ICreateTypeInfo has no call to set
// it. The saved file is corrected here: the size is the field at 0x50 of the
// record's entry in the type-info table, the first segment after the header
// and the type-info offsets.
void SetRecordSizes(const std::wstring& file, std::initializer_list<std::pair<int, int32_t>> sizes) {
    FILE* f = _wfopen(file.c_str(), L"r+b");
    if (!f) throw Failure{"cannot reopen the type library", E_FAIL};
    auto readInt = [&](long at) {
        int32_t v = 0;
        if (fseek(f, at, SEEK_SET) != 0 || fread(&v, 4, 1, f) != 1) throw Failure{"type library too short", E_FAIL};
        return v;
    };
    constexpr long kHeaderSize = 0x54;
    constexpr int32_t kHelpDllFlag = 0x100;
    const int32_t count = readInt(0x20);
    const long offsets = kHeaderSize + ((readInt(0x14) & kHelpDllFlag) ? 4 : 0);
    const int32_t typeInfoSegment = readInt(offsets + 4 * count);
    for (const auto& [index, size] : sizes) {
        if (index >= count) throw Failure{"no such record in the type library", E_FAIL};
        const long at = typeInfoSegment + readInt(offsets + 4 * index) + 0x50;
        if (fseek(f, at, SEEK_SET) != 0 || fwrite(&size, 4, 1, f) != 1) throw Failure{"cannot write a record size", E_FAIL};
    }
    if (fclose(f) != 0) throw Failure{"cannot write the type library", E_FAIL};
}

// BITMAPINFOHEADER, RGBQUAD and BITMAPINFO as public records.
void AddBitmapRecords(ICreateTypeLib2* lib) {
    struct Field {
        const wchar_t* name;
        VARTYPE type;
    };
    auto record = [&](const wchar_t* name, const GUID& guid, std::initializer_list<Field> fields) {
        ICreateTypeInfo* info = NewType(lib, name, TKIND_RECORD, guid);
        Check(info->SetAlignment(4), "SetAlignment");
        UINT index = 0;
        ULONG offset = 0;
        for (const Field& f : fields) {
            VARDESC v{};
            v.memid = 0x40000000 + index;
            v.varkind = VAR_PERINSTANCE;
            v.elemdescVar.tdesc.vt = f.type;
            const ULONG size = f.type == VT_I4 ? 4 : f.type == VT_I2 ? 2 : 1;
            offset = (offset + size - 1) / size * size;  // natural alignment, as in the Windows headers
            v.oInst = offset;
            offset += size;
            Check(info->AddVarDesc(index, &v), "AddVarDesc");
            Check(info->SetVarName(index, const_cast<LPOLESTR>(f.name)), "SetVarName");
            ++index;
        }
        return info;
    };
    Ref<ICreateTypeInfo> header, quad, bitmapInfo;
    header.reset(record(L"BITMAPINFOHEADER", {0xC6C6A9C5, 0x62D1, 0x44C1, {0x97, 0xCF, 0xA2, 0x33, 0xC0, 0xE2, 0xEA, 0xD3}},
                      {{L"biSize", VT_I4}, {L"biWidth", VT_I4}, {L"biHeight", VT_I4}, {L"biPlanes", VT_I2},
                       {L"biBitCount", VT_I2}, {L"biCompression", VT_I4}, {L"biSizeImage", VT_I4},
                       {L"biXPelsPerMeter", VT_I4}, {L"biYPelsPerMeter", VT_I4}, {L"biClrUsed", VT_I4},
                       {L"biClrImportant", VT_I4}}));
    quad.reset(record(L"RGBQUAD", {0x46654C0E, 0xCBA4, 0x47DE, {0x87, 0xA3, 0x96, 0xD5, 0x41, 0xB6, 0xB5, 0x4B}},
                    {{L"rgbBlue", VT_UI1}, {L"rgbGreen", VT_UI1}, {L"rgbRed", VT_UI1}, {L"rgbReserved", VT_UI1}}));
    bitmapInfo.reset(record(L"BITMAPINFO", {0x8F010398, 0x0A87, 0x42B9, {0xA2, 0xD1, 0x7B, 0x7F, 0x3D, 0x89, 0x4E, 0x86}}, {}));

    VARDESC v{};
    v.memid = 0x40000000;
    v.varkind = VAR_PERINSTANCE;
    v.elemdescVar.tdesc.vt = VT_USERDEFINED;
    v.elemdescVar.tdesc.hreftype = Reference(bitmapInfo.get(), header.get());
    Check(bitmapInfo->AddVarDesc(0, &v), "AddVarDesc(bmiHeader)");
    Check(bitmapInfo->SetVarName(0, const_cast<LPOLESTR>(L"bmiHeader")), "SetVarName");

    struct {
        ARRAYDESC desc;
    } colors{};
    colors.desc.tdescElem.vt = VT_USERDEFINED;
    colors.desc.tdescElem.hreftype = Reference(bitmapInfo.get(), quad.get());
    colors.desc.cDims = 1;
    colors.desc.rgbounds[0].cElements = 256;
    colors.desc.rgbounds[0].lLbound = 0;
    VARDESC c{};
    c.oInst = sizeof(BITMAPINFOHEADER);
    c.memid = 0x40000001;
    c.varkind = VAR_PERINSTANCE;
    c.elemdescVar.tdesc.vt = VT_CARRAY;
    c.elemdescVar.tdesc.lpadesc = &colors.desc;
    Check(bitmapInfo->AddVarDesc(1, &c), "AddVarDesc(bmiColors)");
    Check(bitmapInfo->SetVarName(1, const_cast<LPOLESTR>(L"bmiColors")), "SetVarName");

    Check(header->LayOut(), "LayOut(BITMAPINFOHEADER)");
    Check(quad->LayOut(), "LayOut(RGBQUAD)");
    Check(bitmapInfo->LayOut(), "LayOut(BITMAPINFO)");
}

void BuildDeliverable(const ServerIdentity& id, StdOle& stdole, VideoGrabberLib& videoGrabber) {
    const std::wstring file = std::wstring(id.libraryName) + L".tlb";
    Ref<ICreateTypeLib2> lib;
    Check(CreateTypeLib2(SYS_WIN32, const_cast<LPOLESTR>(file.c_str()), lib.put()), "CreateTypeLib2");
    Check(lib->SetName(const_cast<LPOLESTR>(id.libraryName)), "SetName");
    Check(lib->SetGuid(id.libid), "SetGuid");
    Check(lib->SetVersion(id.versionMajor, id.versionMinor), "SetVersion");
    Check(lib->SetLcid(kTypeLibLcid), "SetLcid");
    if (id.helpString) Check(lib->SetDocString(const_cast<LPOLESTR>(id.helpString)), "SetDocString");
    Check(lib->SetLibFlags(0), "SetLibFlags");

    const std::wstring defaultName = id.defaultInterfaceName();
    Ref<ICreateTypeInfo> defaultInterface, cls;
    defaultInterface.reset(NewType(lib.get(), defaultName.c_str(), TKIND_INTERFACE, id.defaultIid));
    Check(defaultInterface->SetTypeFlags(kDualClassInterfaceFlags), "SetTypeFlags(default interface)");
    Check(defaultInterface->AddImplType(0, Reference(defaultInterface.get(), stdole.dispatch.get())),
          "AddImplType(default interface)");

    cls.reset(NewType(lib.get(), id.className, TKIND_COCLASS, id.clsid));
    Check(cls->SetTypeFlags(TYPEFLAG_FCANCREATE), "SetTypeFlags(class)");
    Check(cls->AddImplType(0, Reference(cls.get(), defaultInterface.get())), "AddImplType(default)");
    Check(cls->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags(default)");
    Check(cls->AddImplType(1, Reference(cls.get(), videoGrabber.grabber.get())), "AddImplType(IVideoGrabber)");
    Check(cls->SetImplTypeFlags(1, 0), "SetImplTypeFlags(IVideoGrabber)");

    if (id.bitmapRecords) AddBitmapRecords(lib.get());  // types 2, 3 and 4

    Check(defaultInterface->LayOut(), "LayOut(default interface)");
    Check(cls->LayOut(), "LayOut(class)");
    Check(defaultInterface->SetTypeFlags(kDualClassInterfaceFlags), "SetTypeFlags(default interface)");
    Check(cls->SetTypeFlags(TYPEFLAG_FCANCREATE), "SetTypeFlags(class)");
    Check(lib->SaveAllChanges(), "SaveAllChanges");
    if (id.bitmapRecords)
        SetRecordSizes(file, {{2, static_cast<int32_t>(sizeof(BITMAPINFOHEADER))}, {3, static_cast<int32_t>(sizeof(RGBQUAD))},
                              {4, static_cast<int32_t>(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD))}});
}

// The identity resource: a 32-bit length, 16, then the IID's 16 bytes.
void WriteIdentityResource(const ServerIdentity& id) {
    const std::wstring file = std::wstring(id.libraryName) + L".iid";
    FILE* out = _wfopen(file.c_str(), L"wb");
    if (!out) throw Failure{"cannot write the identity resource", E_FAIL};
    const DWORD length = sizeof(IID);
    const bool ok = fwrite(&length, sizeof length, 1, out) == 1 && fwrite(&id.defaultIid, sizeof(IID), 1, out) == 1;
    if (fclose(out) != 0 || !ok) throw Failure{"cannot write the identity resource", E_FAIL};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: build_typelibs <output folder>\n");
        return 2;
    }
    if (!SetCurrentDirectoryW(argv[1])) {
        std::fprintf(stderr, "build_typelibs: cannot enter the output folder\n");
        return 1;
    }
    CoInitialize(nullptr);
    int status = 0;
    try {
        StdOle stdole;
        BuildStdOle(stdole);
        VideoGrabberLib videoGrabber;
        BuildVideoGrabber(videoGrabber, stdole);
        for (const ServerIdentity* id : {&kCx100Identity, &kFlashBusMvIdentity, &kVideoPortProIdentity, &kVceIdentity}) {
            BuildDeliverable(*id, stdole, videoGrabber);
            WriteIdentityResource(*id);
        }
    } catch (const Failure& f) {
        std::fprintf(stderr, "build_typelibs: %s failed (0x%08lX)\n", f.what, static_cast<unsigned long>(f.hr));
        status = 1;
    }
    CoUninitialize();
    return status;
}
