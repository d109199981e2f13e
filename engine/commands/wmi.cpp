// "wmiproc": WMI queries described in steps, their rows copied into script
// arrays; "getsysteminfo": monitor descriptions, audio output names and the
// monitors' friendly names from WMI.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <mmdeviceapi.h>
#include <physicalmonitorenumerationapi.h>
#include <propidl.h>
// Last: it makes the property keys below definitions.
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/owners.h"

namespace {

constexpr int32_t wmitableid = 1921;
constexpr int32_t wmivalueid = 1922;
constexpr int32_t wmistringid = 9010;
constexpr int32_t wmielementid = 9020;
constexpr int32_t sysinfoid = 1923;
constexpr int32_t wmitablefirst = 64;

// A number read from the storage of a VARIANT or of an array element: signed
// and unsigned integers of every width as integers, reals as reals, booleans
// as their low byte (so true is 255); other types give their first 32 bits.
datdcell numberof(VARTYPE vt, const void* p)
{
    datdcell c = {};
    c.isint = 1;
    auto take = [p](auto v) {
        memcpy(&v, p, sizeof v);
        return v;
    };
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL: c.i = 0; break;
    case VT_I1: c.i = take(int8_t{}); break;
    case VT_I2: c.i = take(int16_t{}); break;
    case VT_I8: c.i = take(int64_t{}); break;
    case VT_UI1:
    case VT_BOOL: c.i = take(uint8_t{}); break;
    case VT_UI2: c.i = take(uint16_t{}); break;
    case VT_UI4:
    case VT_UINT: c.i = take(uint32_t{}); break;
    case VT_UI8: c.i = static_cast<int64_t>(take(uint64_t{})); break;
    case VT_R4:
        c.d = take(float{});
        c.isint = 0;
        break;
    case VT_R8:
        c.d = take(double{});
        c.isint = 0;
        break;
    default: c.i = take(int32_t{}); break;
    }
    return c;
}

size_t bstrlen(BSTR b)
{
    return b ? wcsnlen(b, SysStringLen(b)) : 0;
}

// One array element as SafeArrayGetElement writes it.
union element {
    VARIANT v;
    BSTR b;
    IUnknown* unk;
    DECIMAL dec;
    unsigned char raw[32];
};

// The physical-monitor calls, found at run time: the system may lack them.
struct monitorapi {
    decltype(&GetNumberOfPhysicalMonitorsFromHMONITOR) count = nullptr;
    decltype(&GetPhysicalMonitorsFromHMONITOR) get = nullptr;
    decltype(&DestroyPhysicalMonitors) destroy = nullptr;
    monitorapi()
    {
        HMODULE m = LoadLibraryW(L"dxva2.dll");
        if (!m)
            return;
        count = reinterpret_cast<decltype(count)>(reinterpret_cast<void*>(
            GetProcAddress(m, "GetNumberOfPhysicalMonitorsFromHMONITOR")));
        get = reinterpret_cast<decltype(get)>(
            reinterpret_cast<void*>(GetProcAddress(m, "GetPhysicalMonitorsFromHMONITOR")));
        destroy =
            reinterpret_cast<decltype(destroy)>(reinterpret_cast<void*>(GetProcAddress(m, "DestroyPhysicalMonitors")));
    }
    bool usable() const { return count && get && destroy; }
};

const monitorapi& monitorcalls()
{
    static const monitorapi api;
    return api;
}

// Copies at most 127 characters into a 128-character slot.
void copyslot(wchar_t (&slot)[128], const wchar_t* text)
{
    wcsncpy(slot, text ? text : L"", 127);
    slot[127] = 0;
}

// The services of a namespace with the call's security set and the enumerator
// of one WQL query; `failure` names the step that failed, else null.
struct wmiquerysession {
    owners::comptr<IWbemLocator> locator;
    owners::comptr<IWbemServices> services;
    owners::comptr<IEnumWbemClassObject> rows;
    const wchar_t* failure = nullptr;

    wmiquerysession(const wchar_t* ns, const wchar_t* query)
    {
        if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    locator.putvoid()))) {
            failure = L"CoCreateInstance Error\n";
            return;
        }
        HRESULT hr;
        {
            owners::bstr name(ns);
            hr = locator->ConnectServer(name.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put());
        }
        if (FAILED(hr)) {
            failure = L"ConnectServer Error\n";
            release();
            return;
        }
        if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                     RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
            failure = L"CoSetProxyBlanket Error\n";
            release();
            return;
        }
        {
            owners::bstr language(L"WQL");
            owners::bstr text(query);
            hr = services->ExecQuery(language.get(), text.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                     nullptr, rows.put());
        }
        if (FAILED(hr)) {
            failure = L"ExecQuery Error\n";
            release();
        }
    }
    void release()
    {
        rows.reset();
        services.reset();
        locator.reset();
    }
    // The next row, or false at the end.
    bool next(owners::comptr<IWbemClassObject>& row)
    {
        ULONG got = 0;
        rows->Next(static_cast<LONG>(WBEM_INFINITE), 1, row.put(), &got);
        return got == 1 && row;
    }
};

}  // namespace

// ---- the item table

void ExeScr::wmiproc_additem(const wchar_t* name, const wchar_t* value)
{
    if (wmiitems.full())
        growbuf(wmiitems, wmitablefirst, wmitableid);
    wmiitem* it = wmiitems.top++;
    wcsncpy(it->name, name, varnamemax);
    it->name[varnamemax] = 0;
    const size_t len = wcslen(value);
    it->heap = nullptr;
    it->heapid = 0;
    it->cap = datsinline;
    it->value = it->inl;
    if (len > static_cast<size_t>(datsinline)) {
        it->heap = static_cast<wchar_t*>(mymalloc2((len + 1) * sizeof(wchar_t), wmivalueid));
        it->heapid = wmivalueid;
        it->cap = static_cast<int32_t>(len);
        it->value = it->heap;
    }
    wmemcpy(it->value, value, len + 1);
}

void ExeScr::wmiitemsclear()
{
    for (wmiitem* it = wmiitems.base; it && it < wmiitems.top; ++it)
        if (it->heap)
            myfree(it->heap, it->heapid);
    wmiitems.top = wmiitems.base;
}

void ExeScr::wmiproc_free()
{
    wmiitemsclear();
    freebuf(wmiitems);
    wmiinitflag = 0;
    wmiitemflag = 0;
}

// ---- reading rows

void ExeScr::setarrayfromsafearray(const VARIANT& value, const wchar_t* name, int32_t row)
{
    SAFEARRAY* sa = (value.vt & VT_BYREF) ? nullptr : value.parray;
    LONG lower = 0, upper = -1;
    if (!sa || FAILED(SafeArrayGetLBound(sa, 1, &lower)) || FAILED(SafeArrayGetUBound(sa, 1, &upper))) {
        lower = 0;
        upper = -1;
    }
    storeint(listvar(name, L"_cnt[]", 1, static_cast<uint32_t>(row)), static_cast<int64_t>(upper) - lower + 1);
    // Elements are copied into a buffer of their own size: wider types than
    // this are not read.
    if (!sa || SafeArrayGetElemsize(sa) > sizeof(element))
        return;
    const VARTYPE type = value.vt & 0xFF;
    for (int64_t k = lower; k <= upper; ++k) {
        element e;
        memset(&e, 0, sizeof e);
        LONG at = static_cast<LONG>(k);
        if (FAILED(SafeArrayGetElement(sa, &at, &e)))
            continue;
        const int32_t var = listvar(name, L"[][]", 2, static_cast<uint32_t>(row), static_cast<uint32_t>(k - lower));
        switch (type) {
        case VT_BSTR:
            storestr(var, e.b ? e.b : L"", bstrlen(e.b), wmielementid);
            SysFreeString(e.b);
            break;
        case VT_VARIANT:
            if (e.v.vt == VT_BSTR)
                storestr(var, e.v.bstrVal ? e.v.bstrVal : L"", bstrlen(e.v.bstrVal), wmielementid);
            else if (e.v.vt & (VT_ARRAY | VT_BYREF))
                storeint(var, 0);
            else
                setvarnum(var, numberof(e.v.vt, &e.v.llVal));
            VariantClear(&e.v);
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (e.unk)
                e.unk->Release();
            storeint(var, 0);
            break;
        default:
            setvarnum(var, numberof(type, e.raw));
            break;
        }
    }
}

void ExeScr::wmistorevalue(const VARIANT& value, const wchar_t* name, int32_t row)
{
    const int32_t var = listvar(name, L"[]", 1, static_cast<uint32_t>(row));
    storedbl(var, value.vt);
    if (value.vt & VT_ARRAY)
        setarrayfromsafearray(value, name, row);
    else if (value.vt == VT_BSTR)
        storestr(var, value.bstrVal ? value.bstrVal : L"", bstrlen(value.bstrVal), wmistringid);
    else if (!(value.vt & VT_BYREF))
        setvarnum(var, numberof(value.vt, &value.llVal));
}

int32_t ExeScr::wmiproc_readitem(IWbemClassObject* object, int32_t row, const wmiitem& item)
{
    owners::variant value;
    if (FAILED(object->Get(item.value, 0, value.put(), nullptr, nullptr))) {
        if (logon == 1)
            mylogmsg(L"--FAILED hr \n");
        return 0;
    }
    wmistorevalue(*value, item.name, row);
    return 1;
}

void ExeScr::wmiproc_exec()
{
    const int64_t op = ip->i;
    ++ip;
    if (op == 0 || op == 1) {
        datscell* first = pops();
        datscell* second = pops();
        if (op == 0) {
            wminamespace = datstext(first);
            wmiquery = datstext(second);
            wmiitemsclear();
            wmiinitflag = 1;
            wmiitemflag = 0;
        } else {
            wmiproc_additem(datstext(first), datstext(second));
            wmiitemflag = 1;
        }
        datsrelease(second);
        datsrelease(first);
        pushint(1);
        return;
    }
    if (wmiinitflag == 0 || wmiitemflag == 0)
        myerrexit(L"%s", L"No call for init or item error.");
    wmiquerysession query(wminamespace.c_str(), wmiquery.c_str());
    if (query.failure)
        myerrexit(L"%s", query.failure);
    int64_t result = 0;
    int32_t row = 0;
    for (;;) {
        owners::comptr<IWbemClassObject> object;
        if (!query.next(object))
            break;
        bool every = true;
        for (wmiitem* it = wmiitems.base; it < wmiitems.top; ++it) {
            if (!wmiproc_readitem(object.get(), row, *it)) {
                every = false;
                break;
            }
        }
        if (every && !wmiitems.empty())
            result = 1;
        ++row;
    }
    wmicnt = row;
    pushint(result);
}

// ---- system information

BOOL CALLBACK ExeScr::monitornameproc(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    ExeScr& e = *reinterpret_cast<ExeScr*>(data);
    MONITORINFOEXW info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    if (!(info.dwFlags & MONITORINFOF_PRIMARY) && ++e.monitornamecount > 5)
        return FALSE;
    const monitorapi& api = monitorcalls();
    DWORD count = 0;
    if (api.usable() && api.count(monitor, &count) && count >= 1 && count <= 4) {
        PHYSICAL_MONITOR found[4] = {};
        if (api.get(monitor, count, found)) {
            copyslot(e.monitornames[e.monitornamecount], found[0].szPhysicalMonitorDescription);
            api.destroy(count, found);
        }
    }
    return TRUE;
}

std::wstring ExeScr::audioendpointname(int32_t selector, int32_t index)
{
    owners::comptr<IMMDeviceEnumerator> devices;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                devices.putvoid())))
        return L"";
    auto nameof = [](IMMDevice* device, std::wstring& out) {
        owners::comptr<IPropertyStore> store;
        if (FAILED(device->OpenPropertyStore(STGM_READ, store.put())))
            return false;
        PROPVARIANT v;
        PropVariantInit(&v);
        const bool ok = SUCCEEDED(store->GetValue(PKEY_Device_FriendlyName, &v)) && v.vt == VT_LPWSTR;
        if (ok)
            out = v.pwszVal;
        PropVariantClear(&v);
        return ok;
    };
    std::wstring name;
    if (selector == 2) {
        owners::comptr<IMMDevice> device;
        if (FAILED(devices->GetDefaultAudioEndpoint(eRender, eConsole, device.put())))
            return L"";
        nameof(device.get(), name);
        return name;
    }
    owners::comptr<IMMDeviceCollection> outputs;
    UINT count = 0;
    if (FAILED(devices->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, outputs.put())) ||
        FAILED(outputs->GetCount(&count)))
        return L"";
    for (UINT k = 0; k < count && k < 11; ++k) {
        owners::comptr<IMMDevice> device;
        std::wstring found;
        if (SUCCEEDED(outputs->Item(k, device.put())) && nameof(device.get(), found))
            copyslot(audionames[k], found.c_str());
    }
    if (index >= 0 && static_cast<UINT>(index) < count && index < 11)
        return audionames[index];
    return L"";
}

std::wstring ExeScr::wmimonitorname(int32_t index)
{
    wmiquerysession query(L"root\\WMI", L"Select * From WmiMonitorID");
    if (query.failure) {
        if (logon == 1)
            mylogmsg(L"%s", query.failure);
        return L"";
    }
    for (int32_t row = 0;; ++row) {
        owners::comptr<IWbemClassObject> object;
        if (!query.next(object))
            return L"";
        owners::variant value;
        if (FAILED(object->Get(L"UserFriendlyName", 0, value.put(), nullptr, nullptr)) ||
            !((*value).vt & VT_ARRAY) || ((*value).vt & VT_BYREF) || !(*value).parray) {
            if (row == index)
                return L"";
            continue;
        }
        if (row != index)
            continue;
        // The name is an array of 16-bit character codes, ended by 0.
        SAFEARRAY* sa = (*value).parray;
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(sa, 1, &lower);
        SafeArrayGetUBound(sa, 1, &upper);
        std::wstring name;
        for (int64_t k = lower; k <= upper && name.size() < 62; ++k) {
            element e;
            memset(&e, 0, sizeof e);
            LONG at = static_cast<LONG>(k);
            if (SafeArrayGetElemsize(sa) > sizeof e || FAILED(SafeArrayGetElement(sa, &at, &e)))
                break;
            uint16_t ch = 0;
            memcpy(&ch, e.raw, sizeof ch);
            if (ch == 0)
                break;
            name += static_cast<wchar_t>(ch);
        }
        return name;
    }
}

void ExeScr::getsysteminfo_exec()
{
    const int64_t count = ip->i;
    ++ip;
    const int32_t selector = cmdargs::toi32(popd());
    // Without an index, the first one.
    const int32_t index = count == 2 ? cmdargs::toi32(popd()) : 0;
    std::wstring out;
    switch (selector) {
    case 0:
        monitornamecount = 0;
        EnumDisplayMonitors(nullptr, nullptr, monitornameproc, reinterpret_cast<LPARAM>(this));
        if (index >= 0 && index <= monitornamecount && index < 6)
            out = monitornames[index];
        break;
    case 1:
    case 2: out = audioendpointname(selector, index); break;
    case 3: out = wmimonitorname(index); break;
    default: break;
    }
    pushstrtext(out.c_str(), out.size(), sysinfoid);
}

// ---- front ends

void ExeScr::wmiproc_comp(wchar_t* args)
{
    static const subword words[] = {{L"init", 0}, {L"item", 1}, {L"read", 2}, {nullptr, 0}};
    const int32_t count = splitargs(args);
    const int32_t code = subcommand(args, words);
    if (count != (code == 2 ? 1 : 3))
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 1; k < count; ++k)
        nextstr(args);
    mypop();
    emitcell(&ExeScr::wmiproc_exec);
    emitu64(static_cast<uint64_t>(code));
}

void ExeScr::getsysteminfo_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count > 2)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 0; k < count; ++k)
        nextnum(args);
    emitcell(&ExeScr::getsysteminfo_exec);
    emitint(count);
}
