// Every deliverable as a COM server, read back the way a host and the
// system see it: registration keys, class factory, unload counts, the
// registered type libraries (with IVideoGrabber referred to in
// VideoGrabber.tlb), identity resource, version block and late binding.
// Parametrised over the deliverables built beside this program.
#include "deliverables.h"
#include "grabber_test_env.h"

#include <gmock/gmock.h>
#include <oleauto.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

using namespace testing_support;
using ::testing::IsEmpty;

namespace {

std::wstring GuidText(const GUID& g) {
    wchar_t text[40] = {};
    StringFromGUID2(g, text, 40);
    return text;
}

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return s;
}

// Wine may register paths as \\?\Z:\...
std::wstring Plain(std::wstring path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) path = path.substr(4);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return Lower(path);
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::wstring ReadValue(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

std::vector<const ServerIdentity*> BuiltDeliverables() {
    std::vector<const ServerIdentity*> built;
    for (const ServerIdentity* id : {&kCx100Identity, &kFlashBusMvIdentity, &kVideoPortProIdentity, &kVceIdentity})
        if (GetFileAttributesW((BinFolder() + L"\\" + id->libraryName + L".dll").c_str()) != INVALID_FILE_ATTRIBUTES)
            built.push_back(id);
    return built;
}

class ServerTest : public ::testing::TestWithParam<const ServerIdentity*> {
protected:
    const ServerIdentity& id() const { return *GetParam(); }
    std::wstring DllPath() const { return BinFolder() + L"\\" + id().libraryName + L".dll"; }
    HMODULE Module() const { return LoadLibraryW(DllPath().c_str()); }
    template <typename F>
    F* Export(const char* name) const {
        return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(Module(), name)));
    }
    std::wstring ClsidKey() const { return L"CLSID\\" + GuidText(id().clsid); }
    ComPtr<IVideoGrabber> New() const { return CreateByProgId(id().progId().c_str()); }

    MessageBoxWatch boxes;
};

TEST_P(ServerTest, RegistrationWritesTheClassKeys) {
    EXPECT_EQ(Plain(DllPath()), Plain(ReadValue(ClsidKey() + L"\\InprocServer32")));
    EXPECT_EQ(L"Apartment", ReadValue(ClsidKey() + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(id().progId(), ReadValue(ClsidKey() + L"\\ProgID"));
    EXPECT_EQ(GuidText(id().libid), ReadValue(ClsidKey() + L"\\TypeLib"));
    EXPECT_EQ(GuidText(id().clsid), ReadValue(id().progId() + L"\\CLSID"));
    // The dual default interface is registered for marshalling by its library.
    EXPECT_TRUE(KeyExists(L"Interface\\" + GuidText(id().defaultIid)));
}

TEST_P(ServerTest, UnregisterRemovesWhatRegisterWrote) {
    using Entry = HRESULT WINAPI();
    const std::wstring typeLibKey = L"TypeLib\\" + GuidText(id().libid);
    ASSERT_EQ(S_OK, Export<Entry>("DllUnregisterServer")());
    EXPECT_FALSE(KeyExists(ClsidKey()));
    EXPECT_FALSE(KeyExists(id().progId()));
    EXPECT_FALSE(KeyExists(typeLibKey));
    EXPECT_FALSE(KeyExists(L"Interface\\" + GuidText(id().defaultIid)));
    EXPECT_FALSE(New());
    // Unregistering twice is not an error.
    EXPECT_EQ(S_OK, Export<Entry>("DllUnregisterServer")());
    ASSERT_EQ(S_OK, Export<Entry>("DllRegisterServer")());
    EXPECT_TRUE(KeyExists(typeLibKey));
    EXPECT_TRUE(New());
}

TEST_P(ServerTest, ClassFactoryServesOnlyItsOwnClass) {
    using GetClassObject = HRESULT WINAPI(REFCLSID, REFIID, void**);
    auto* get = Export<GetClassObject>("DllGetClassObject");
    ASSERT_NE(nullptr, get);
    for (const ServerIdentity* other : {&kCx100Identity, &kFlashBusMvIdentity, &kVideoPortProIdentity, &kVceIdentity}) {
        if (other == &id()) continue;
        void* factory = reinterpret_cast<void*>(1);
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, get(other->clsid, IID_IClassFactory, &factory));
        EXPECT_EQ(nullptr, factory);
    }
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, get(id().clsid, IID_IClassFactory, factory.putVoid()));
    ComPtr<IUnknown> a, b;
    EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IVideoGrabber, a.putVoid()));
    EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, b.putVoid()));
    EXPECT_NE(a.get(), b.get());
    ComPtr<IUnknown> outer = a;
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.get(), IID_IUnknown, aggregated.putVoid()));
}

TEST_P(ServerTest, CanUnloadOnlyWithoutObjectsAndLocks) {
    using CanUnload = HRESULT WINAPI();
    using GetClassObject = HRESULT WINAPI(REFCLSID, REFIID, void**);
    auto* canUnload = Export<CanUnload>("DllCanUnloadNow");
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, Export<GetClassObject>("DllGetClassObject")(id().clsid, IID_IClassFactory, factory.putVoid()));
    EXPECT_EQ(S_FALSE, canUnload());
    ComPtr<IVideoGrabber> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IVideoGrabber, object.putVoid()));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory = ComPtr<IClassFactory>();
    EXPECT_EQ(S_FALSE, canUnload());
    object = ComPtr<IVideoGrabber>();
    EXPECT_EQ(S_FALSE, canUnload());  // still locked
    ASSERT_EQ(S_OK, Export<GetClassObject>("DllGetClassObject")(id().clsid, IID_IClassFactory, factory.putVoid()));
    factory->LockServer(FALSE);
    factory = ComPtr<IClassFactory>();
    EXPECT_EQ(S_OK, canUnload());
}

TEST_P(ServerTest, ObjectAnswersItsFourInterfaces) {
    ComPtr<IVideoGrabber> g = New();
    ASSERT_TRUE(g);
    for (const IID& iid : {IID_IUnknown, IID_IDispatch, id().defaultIid, IID_IVideoGrabber}) {
        ComPtr<IUnknown> p;
        EXPECT_EQ(S_OK, g->QueryInterface(iid, p.putVoid())) << GuidText(iid).c_str();
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, g->QueryInterface(IID_IClassFactory, none.putVoid()));
}

TEST_P(ServerTest, RegisteredTypeLibraryDescribesTheClass) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(id().libid, id().versionMajor, id().versionMinor, kTypeLibLcid, lib.put()));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    EXPECT_EQ(kTypeLibLcid, attr->lcid);
    EXPECT_EQ(SYS_WIN32, attr->syskind);
    EXPECT_EQ(id().versionMajor, attr->wMajorVerNum);
    EXPECT_EQ(id().versionMinor, attr->wMinorVerNum);
    EXPECT_EQ(0, attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);  // Wine always reports the disk image
    lib->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_STREQ(id().libraryName, name);
    EXPECT_EQ(std::wstring(id().helpString ? id().helpString : L""), std::wstring(doc ? doc : L""));
    SysFreeString(name);
    SysFreeString(doc);
    EXPECT_EQ(id().bitmapRecords ? 5u : 2u, lib->GetTypeInfoCount());

    // Type 0: the empty, hidden, dual default interface.
    ComPtr<ITypeInfo> defaultInfo;
    ASSERT_EQ(S_OK, lib->GetTypeInfo(0, defaultInfo.put()));
    ASSERT_EQ(S_OK, defaultInfo->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr));
    EXPECT_EQ(id().defaultInterfaceName(), std::wstring(name));
    SysFreeString(name);
    HREFTYPE vtableRef = 0;
    ASSERT_EQ(S_OK, defaultInfo->GetRefTypeOfImplType(-1, &vtableRef));
    ComPtr<ITypeInfo> vtableView;
    ASSERT_EQ(S_OK, defaultInfo->GetRefTypeInfo(vtableRef, vtableView.put()));
    TYPEATTR* t = nullptr;
    ASSERT_EQ(S_OK, vtableView->GetTypeAttr(&t));
    EXPECT_EQ(id().defaultIid, t->guid);
    EXPECT_EQ(0x11D0, t->wTypeFlags);
    EXPECT_EQ(0, t->cFuncs);
    EXPECT_EQ(7 * 4, t->cbSizeVft);
    EXPECT_EQ(1, t->wMajorVerNum);
    vtableView->ReleaseTypeAttr(t);

    // Type 1: the creatable class, its default interface, then IVideoGrabber
    // from VideoGrabber.tlb.
    ComPtr<ITypeInfo> cls;
    ASSERT_EQ(S_OK, lib->GetTypeInfo(1, cls.put()));
    ASSERT_EQ(S_OK, cls->GetTypeAttr(&t));
    EXPECT_EQ(TKIND_COCLASS, t->typekind);
    EXPECT_EQ(id().clsid, t->guid);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, t->wTypeFlags);
    EXPECT_EQ(2, t->cImplTypes);
    cls->ReleaseTypeAttr(t);
    INT flags = -1;
    ASSERT_EQ(S_OK, cls->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    ASSERT_EQ(S_OK, cls->GetImplTypeFlags(1, &flags));
    EXPECT_EQ(0, flags);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, cls->GetRefTypeOfImplType(1, &ref));
    ComPtr<ITypeInfo> grabber;
    ASSERT_EQ(S_OK, cls->GetRefTypeInfo(ref, grabber.put()));
    ASSERT_EQ(S_OK, grabber->GetTypeAttr(&t));
    EXPECT_EQ(IID_IVideoGrabber, t->guid);
    grabber->ReleaseTypeAttr(t);
    ComPtr<ITypeLib> container;
    UINT index = 0;
    ASSERT_EQ(S_OK, grabber->GetContainingTypeLib(container.put(), &index));
    ASSERT_EQ(S_OK, container->GetLibAttr(&attr));
    EXPECT_EQ(LIBID_VideoGrabber, attr->guid) << "IVideoGrabber must be a reference into VideoGrabber.tlb";
    container->ReleaseTLibAttr(attr);
}

// The library of a class that keeps its geometry in a BITMAPINFO also
// declares the Windows bitmap records, with their own GUIDs.
class BitmapRecordsTest : public ServerTest {};

TEST_P(BitmapRecordsTest, DeclaredWithTheirGuidsSizesAndFields) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(id().libid, id().versionMajor, id().versionMinor, kTypeLibLcid, lib.put()));
    struct Field {
        const wchar_t* name;
        VARTYPE type;
    };
    struct Record {
        const wchar_t* name;
        GUID guid;
        ULONG size;
        std::vector<Field> fields;
    };
    const Record records[] = {
        {L"BITMAPINFOHEADER", {0xC6C6A9C5, 0x62D1, 0x44C1, {0x97, 0xCF, 0xA2, 0x33, 0xC0, 0xE2, 0xEA, 0xD3}}, 40,
         {{L"biSize", VT_I4}, {L"biWidth", VT_I4}, {L"biHeight", VT_I4}, {L"biPlanes", VT_I2}, {L"biBitCount", VT_I2},
          {L"biCompression", VT_I4}, {L"biSizeImage", VT_I4}, {L"biXPelsPerMeter", VT_I4},
          {L"biYPelsPerMeter", VT_I4}, {L"biClrUsed", VT_I4}, {L"biClrImportant", VT_I4}}},
        {L"RGBQUAD", {0x46654C0E, 0xCBA4, 0x47DE, {0x87, 0xA3, 0x96, 0xD5, 0x41, 0xB6, 0xB5, 0x4B}}, 4,
         {{L"rgbBlue", VT_UI1}, {L"rgbGreen", VT_UI1}, {L"rgbRed", VT_UI1}, {L"rgbReserved", VT_UI1}}},
        {L"BITMAPINFO", {0x8F010398, 0x0A87, 0x42B9, {0xA2, 0xD1, 0x7B, 0x7F, 0x3D, 0x89, 0x4E, 0x86}}, 1064,
         {{L"bmiHeader", VT_USERDEFINED}, {L"bmiColors", VT_CARRAY}}},
    };
    for (const Record& r : records) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(r.guid, info.put())) << std::wstring(r.name).size();
        TYPEATTR* t = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&t));
        EXPECT_EQ(TKIND_RECORD, t->typekind);
        EXPECT_EQ(r.size, t->cbSizeInstance);
        EXPECT_EQ(1, t->wMajorVerNum);
        EXPECT_EQ(r.fields.size(), t->cVars);
        info->ReleaseTypeAttr(t);
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_STREQ(r.name, name);
        SysFreeString(name);
        for (UINT i = 0; i < r.fields.size(); ++i) {
            VARDESC* v = nullptr;
            ASSERT_EQ(S_OK, info->GetVarDesc(i, &v));
            UINT count = 0;
            info->GetNames(v->memid, &name, 1, &count);
            EXPECT_STREQ(r.fields[i].name, name);
            SysFreeString(name);
            EXPECT_EQ(r.fields[i].type, v->elemdescVar.tdesc.vt);
            if (v->elemdescVar.tdesc.vt == VT_CARRAY) {
                // 256 RGBQUAD entries indexed from 0.
                const ARRAYDESC* a = v->elemdescVar.tdesc.lpadesc;
                EXPECT_EQ(1, a->cDims);
                EXPECT_EQ(256u, a->rgbounds[0].cElements);
                EXPECT_EQ(0, a->rgbounds[0].lLbound);
                EXPECT_EQ(VT_USERDEFINED, a->tdescElem.vt);
            }
            info->ReleaseVarDesc(v);
        }
    }
}

TEST_P(ServerTest, IdentityResourceHoldsTheDefaultInterfaceId) {
    std::wstring type = L"_IID_" + std::wstring(id().className);
    std::transform(type.begin(), type.end(), type.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    HMODULE module = Module();
    HRSRC found = FindResourceExW(module, type.c_str(), MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_NE(nullptr, found) << "resource type " << std::string(type.begin(), type.end());
    ASSERT_EQ(20u, SizeofResource(module, found));
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    EXPECT_EQ(16u, *reinterpret_cast<const DWORD*>(bytes));
    EXPECT_EQ(0, memcmp(bytes + 4, &id().defaultIid, 16));
    EXPECT_NE(nullptr, FindResourceExW(module, L"TYPELIB", MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)));
}

TEST_P(ServerTest, VersionBlockNamesTheFile) {
    const std::wstring path = DllPath();
    DWORD handle = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &handle));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);
    auto text = [&](const wchar_t* key) -> std::wstring {
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return L"<missing>";
        return length ? std::wstring(value) : std::wstring();
    };
    EXPECT_EQ(id().libraryName, text(L"InternalName"));
    EXPECT_EQ(std::wstring(id().libraryName) + L".dll", text(L"OriginalFilename"));
    EXPECT_EQ(L"1.00", text(L"FileVersion"));
    EXPECT_EQ(L"1.00", text(L"ProductVersion"));
    EXPECT_EQ(L"", text(L"OLESelfRegister"));
    EXPECT_NE(L"<missing>", text(L"CompanyName"));
    EXPECT_NE(L"<missing>", text(L"ProductName"));
}

TEST_P(ServerTest, LateBoundCallsReachTheMembers) {
    ComPtr<IVideoGrabber> g = New();
    ASSERT_TRUE(g);
    ComPtr<IDispatch> d = g.as<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(d);
    // Names, in any case, map to the members' DISPIDs.
    const wchar_t* names[] = {L"buffersize"};
    DISPID dispid = 0;
    ASSERT_EQ(S_OK, d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names), 1, 0, &dispid));
    EXPECT_EQ(DISPID_BufferSize, dispid);

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, d->Invoke(DISPID_BufferSize, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));
    LONG viaVtable = -1;
    g->get_BufferSize(&viaVtable);
    EXPECT_EQ(VT_I4, V_VT(&result));
    EXPECT_EQ(viaVtable, V_I4(&result));
    ASSERT_EQ(S_OK, d->Invoke(DISPID_HasSetupDlg, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));
    EXPECT_EQ(VT_BOOL, V_VT(&result));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&result));
    EXPECT_EQ(S_OK, d->Invoke(DISPID_SetupDlg, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));

    // A put by name with the named DISPID_PROPERTYPUT argument, as script hosts do.
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = 12345;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &putId, 1, 1};
    EXPECT_EQ(S_OK, d->Invoke(DISPID_XSize, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr));
    LONG x = -1;
    g->get_XSize(&x);
    EXPECT_NE(12345, x);

    // Bad calls are answered as IDispatch answers them.
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, d->Invoke(0x12345, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    DISPPARAMS extra = {&value, nullptr, 1, 0};
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, d->Invoke(DISPID_Init, IID_NULL, 0, DISPATCH_METHOD, &extra, &result, nullptr, nullptr));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, d->Invoke(DISPID_Grab, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    UINT argErr = 99;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, d->Invoke(DISPID_Grab, IID_NULL, 0, DISPATCH_METHOD, &extra, &result, nullptr, &argErr));
    EXPECT_EQ(0u, argErr);
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

std::string DeliverableName(const ::testing::TestParamInfo<const ServerIdentity*>& info) {
    const std::wstring n = info.param->libraryName;
    return std::string(n.begin(), n.end());
}

std::vector<const ServerIdentity*> WithBitmapRecords() {
    std::vector<const ServerIdentity*> found;
    for (const ServerIdentity* id : BuiltDeliverables())
        if (id->bitmapRecords) found.push_back(id);
    return found;
}

INSTANTIATE_TEST_SUITE_P(Deliverables, ServerTest, ::testing::ValuesIn(BuiltDeliverables()), DeliverableName);
INSTANTIATE_TEST_SUITE_P(Deliverables, BitmapRecordsTest, ::testing::ValuesIn(WithBitmapRecords()), DeliverableName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ServerTest);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BitmapRecordsTest);

// IVideoGrabber as the registered VideoGrabber library declares it: 18
// entries after IDispatch's, in slot order, with their DISPIDs and types.
TEST(VideoGrabberTypeLibrary, DeclaresTheInterfaceInSlotOrder) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_VideoGrabber, 1, 0, 0, lib.put()));
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(IID_IVideoGrabber, info.put()));
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable = info;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref))) info->GetRefTypeInfo(ref, vtable.put());
    TYPEATTR* t = nullptr;
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&t));
    EXPECT_EQ(TKIND_INTERFACE, t->typekind);
    EXPECT_TRUE(t->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_EQ(18, t->cFuncs);
    EXPECT_EQ(25 * 4, t->cbSizeVft);
    vtable->ReleaseTypeAttr(t);

    struct Entry {
        const wchar_t* name;
        DISPID id;
        INVOKEKIND kind;
        VARTYPE value;  // the put's argument or the get's/method's result
    };
    const Entry expected[] = {
        {L"HasColor", DISPID_HasColor, INVOKE_PROPERTYGET, VT_BOOL}, {L"HasColor", DISPID_HasColor, INVOKE_PROPERTYPUT, VT_BOOL},
        {L"Color", DISPID_Color, INVOKE_PROPERTYGET, VT_BOOL},       {L"Color", DISPID_Color, INVOKE_PROPERTYPUT, VT_BOOL},
        {L"BufferSize", DISPID_BufferSize, INVOKE_PROPERTYGET, VT_I4}, {L"BufferSize", DISPID_BufferSize, INVOKE_PROPERTYPUT, VT_I4},
        {L"DIBxSize", DISPID_DIBxSize, INVOKE_PROPERTYGET, VT_I4},   {L"DIBxSize", DISPID_DIBxSize, INVOKE_PROPERTYPUT, VT_I4},
        {L"XSize", DISPID_XSize, INVOKE_PROPERTYGET, VT_I4},         {L"XSize", DISPID_XSize, INVOKE_PROPERTYPUT, VT_I4},
        {L"YSize", DISPID_YSize, INVOKE_PROPERTYGET, VT_I4},         {L"YSize", DISPID_YSize, INVOKE_PROPERTYPUT, VT_I4},
        {L"HasSetupDlg", DISPID_HasSetupDlg, INVOKE_PROPERTYGET, VT_BOOL},
        {L"HasSetupDlg", DISPID_HasSetupDlg, INVOKE_PROPERTYPUT, VT_BOOL},
        {L"Init", DISPID_Init, INVOKE_FUNC, VT_BOOL},               {L"ShutDown", DISPID_ShutDown, INVOKE_FUNC, VT_EMPTY},
        {L"Grab", DISPID_Grab, INVOKE_FUNC, VT_BOOL},               {L"SetupDlg", DISPID_SetupDlg, INVOKE_FUNC, VT_EMPTY},
    };
    for (UINT i = 0; i < 18; ++i) {
        const Entry& e = expected[i];
        FUNCDESC* f = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &f));
        BSTR name = nullptr;
        UINT count = 0;
        vtable->GetNames(f->memid, &name, 1, &count);
        EXPECT_STREQ(e.name, name) << "slot " << 7 + i;
        SysFreeString(name);
        EXPECT_EQ(e.id, f->memid) << "slot " << 7 + i;
        EXPECT_EQ(e.kind, f->invkind) << "slot " << 7 + i;
        EXPECT_EQ((7 + i) * 4, static_cast<UINT>(f->oVft)) << "slot " << 7 + i;
        EXPECT_EQ(VT_HRESULT, f->elemdescFunc.tdesc.vt);
        VARTYPE value = VT_EMPTY;
        if (e.kind == INVOKE_PROPERTYPUT) {
            ASSERT_EQ(1, f->cParams);
            value = f->lprgelemdescParam[0].tdesc.vt;
        } else if (f->cParams > 0) {
            const ELEMDESC& last = f->lprgelemdescParam[f->cParams - 1];
            EXPECT_TRUE(last.paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
            ASSERT_EQ(VT_PTR, last.tdesc.vt);
            value = last.tdesc.lptdesc->vt;
        }
        EXPECT_EQ(e.value, value) << "slot " << 7 + i;
        if (e.id == DISPID_Grab) {
            // [in, out] SAFEARRAY(unsigned char)* DIBbuffer
            ASSERT_EQ(2, f->cParams);
            const TYPEDESC& buffer = f->lprgelemdescParam[0].tdesc;
            ASSERT_EQ(VT_PTR, buffer.vt);
            ASSERT_EQ(VT_SAFEARRAY, buffer.lptdesc->vt);
            EXPECT_EQ(VT_UI1, buffer.lptdesc->lptdesc->vt);
        }
        vtable->ReleaseFuncDesc(f);
    }
    // The library's second type.
    ComPtr<ITypeInfo> second;
    EXPECT_EQ(S_OK, lib->GetTypeInfoOfGuid(CLSID_VideoGrabber, second.put()));
}

}  // namespace
