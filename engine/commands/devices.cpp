// The master volume of the default audio output (Core Audio), progress in a
// window's taskbar button (ITaskbarList3), and ejecting the removable device
// that holds a drive (the configuration manager).
#include <windows.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <shobjidl.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <winioctl.h>

#include <vector>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/owners.h"

namespace {

HWND windowof(uint64_t raw)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(raw));
}

// The device instance of the disk or CD-ROM interface whose storage device
// number is `number`, for a drive of type `drivetype`; 0 when none is.
DEVINST finddiskdevinst(DWORD number, UINT drivetype)
{
    const GUID* cls = drivetype == DRIVE_REMOVABLE || drivetype == DRIVE_FIXED ? &GUID_DEVINTERFACE_DISK
                      : drivetype == DRIVE_CDROM                               ? &GUID_DEVINTERFACE_CDROM
                                                                               : nullptr;
    if (!cls)
        return 0;
    HDEVINFO devices = SetupDiGetClassDevsW(cls, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE)
        return 0;
    DEVINST found = 0;
    // Room for the details of one interface: longer ones are skipped.
    std::vector<unsigned char> room(1024 + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof iface;
    for (DWORD k = 0; !found && SetupDiEnumDeviceInterfaces(devices, nullptr, cls, k, &iface); ++k) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(devices, &iface, nullptr, 0, &size, nullptr);
        if (size == 0 || size > 1024)
            continue;
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(room.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA info = {};
        info.cbSize = sizeof info;
        if (!SetupDiGetDeviceInterfaceDetailW(devices, &iface, detail, size, &size, &info))
            continue;
        owners::handle disk(CreateFileW(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        if (!disk.valid())
            continue;
        STORAGE_DEVICE_NUMBER sdn = {};
        DWORD got = 0;
        if (DeviceIoControl(disk.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &sdn, sizeof sdn, &got, nullptr) &&
            sdn.DeviceNumber == number)
            found = info.DevInst;
    }
    SetupDiDestroyDeviceInfoList(devices);
    return found;
}

// The configuration manager's calls, found at run time: not every system
// that loads the engine has them working.
struct ejectapi {
    using parentproc = CONFIGRET(WINAPI*)(PDEVINST, DEVINST, ULONG);
    parentproc parent = nullptr;
    ExeScr::ejectproc eject = nullptr;
    ejectapi()
    {
        HMODULE m = LoadLibraryW(L"cfgmgr32.dll");
        if (!m)
            return;
        parent = reinterpret_cast<parentproc>(reinterpret_cast<void*>(GetProcAddress(m, "CM_Get_Parent")));
        eject = reinterpret_cast<ExeScr::ejectproc>(
            reinterpret_cast<void*>(GetProcAddress(m, "CM_Request_Device_EjectW")));
    }
};

const ejectapi& ejectcalls()
{
    static const ejectapi api;
    return api;
}

}  // namespace

// ---- master volume

void ExeScr::mastervol_exec()
{
    const int64_t op = ip->i;
    ++ip;
    float level = 0.0f;
    if (op == 0)
        level = static_cast<float>(cmdargs::todbl(popd()));

    owners::comptr<IMMDeviceEnumerator> devices;
    owners::comptr<IMMDevice> endpoint;
    owners::comptr<IAudioEndpointVolume> volume;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  devices.putvoid());
    if (FAILED(hr)) {
        if (logon == 1)
            mylogmsg(L"FAILED(hr=0x%x) in CoCreateInstance(__uuidof(MMDeviceEnumerator), NULL, "
                     L"CLSCTX_ALL,IID_PPV_ARGS(&pEnumMas))\n",
                     static_cast<unsigned>(hr));
    } else if (FAILED(hr = devices->GetDefaultAudioEndpoint(eRender, eConsole, endpoint.put()))) {
        if (logon == 1)
            mylogmsg(L"FAILED(hr=0x%x) in pEnumMas->GetDefaultAudioEndpoint(eRender, eConsole, &pEndpointMas)\n",
                     static_cast<unsigned>(hr));
    } else if (FAILED(hr = endpoint->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                              volume.putvoid()))) {
        if (logon == 1)
            mylogmsg(L"FAILED(hr=0x%x) in pEndpointMas->Activate(__uuidof(IAudioEndpointVolume),CLSCTX_ALL, NULL, "
                     L"(void **)&pAudioEndVolMas)\n",
                     static_cast<unsigned>(hr));
    }
    if (!volume) {
        pushint(0);
        return;
    }
    if (op == 0) {
        const bool inrange = level >= 0.0f && level <= 1.0f;
        pushint(inrange && SUCCEEDED(volume->SetMasterVolumeLevelScalar(level, nullptr)) ? 1 : 0);
    } else if (op == 1) {
        float now = 0.0f;
        pushdbl(SUCCEEDED(volume->GetMasterVolumeLevelScalar(&now)) ? now : 0.0);
    } else {
        BOOL muted = FALSE;
        // An unknown state is not toggled.
        if (SUCCEEDED(volume->GetMute(&muted)))
            volume->SetMute(muted == TRUE ? FALSE : TRUE, nullptr);
        pushint(muted == TRUE ? 1 : 0);
    }
}

// ---- taskbar progress

void ExeScr::setprog_free()
{
    if (!taskbar)
        return;
    taskbar->SetProgressState(windowof(progwindow), TBPF_NOPROGRESS);
    taskbar->Release();
    taskbar = nullptr;
    progwindow = 0;
}

void ExeScr::setprog_exec()
{
    const int64_t op = ip->i;
    ++ip;
    if (op == 0) {
        // The window is taken even when the open then fails: after "Already
        // opened" the next "value" goes to it (or, for 0, is refused).
        progwindow = static_cast<uint64_t>(popd().i);
        if (taskbar) {
            if (logon == 1)
                mylogmsgforced(L"Already opened error.\n");
            return;
        }
        ITaskbarList3* list = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    reinterpret_cast<void**>(&list))))
            return;
        if (FAILED(list->HrInit())) {
            list->Release();
            if (logon == 1)
                mylogmsgforced(L"HrInit error.\n");
            return;
        }
        taskbar = list;
        taskbar->SetProgressValue(windowof(progwindow), 0, 100);
        taskbar->SetProgressState(windowof(progwindow), TBPF_NORMAL);
    } else if (op == 1) {
        const int32_t value = cmdargs::toi32(popd());
        if (progwindow == 0) {
            if (logon == 1)
                mylogmsgforced(L"Not open state in setprog.\n");
        } else if (value < 0 || value > 100) {
            if (logon == 1)
                mylogmsgforced(L"ivalid value: %d error.\n", value);
        } else if (taskbar) {
            taskbar->SetProgressValue(windowof(progwindow), static_cast<ULONGLONG>(value), 100);
        }
    } else {
        setprog_free();
    }
}

// ---- USB eject

int32_t ExeScr::usbejectrequest(DWORD parent, ejectproc eject)
{
    for (int32_t attempt = 1; attempt <= 3; ++attempt) {
        int veto = 0;
        wchar_t vetoname[MAX_PATH] = {};
        if (eject(parent, &veto, vetoname, MAX_PATH, 0) == CR_SUCCESS) {
            if (logon == 1)
                mylogmsgforced(L"success at %d try\n", attempt);
            return 1;
        }
        if (logon == 1)
            mylogmsgforced(L"Tyy:%d: VetoType:%x VetoName:%s\n", attempt, static_cast<unsigned>(veto), vetoname);
        if (attempt < 3)
            Sleep(500);
    }
    return 0;
}

void ExeScr::usbeject_exec()
{
    const int32_t letter = cmdargs::toi32(popd());
    auto refuse = [this](const wchar_t* why) {
        if (logon == 1)
            mylogmsgforced(L"%s", why);
        pushint(0);
    };
    if (letter < L'A' || letter > L'Z') {
        refuse(L"Invalid drive letter.\n");
        return;
    }
    wchar_t volumename[] = L"\\\\.\\X:";
    volumename[4] = static_cast<wchar_t>(letter);
    owners::handle volume(
        CreateFileW(volumename, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!volume.valid()) {
        refuse(L"failed to access the volume.\n");
        return;
    }
    STORAGE_DEVICE_NUMBER sdn = {};
    DWORD got = 0;
    const BOOL numbered =
        DeviceIoControl(volume.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &sdn, sizeof sdn, &got, nullptr);
    volume.reset();
    if (!numbered || sdn.DeviceNumber == 0xFFFFFFFF) {
        refuse(L"get_device_number error.\n");
        return;
    }
    wchar_t root[] = L"X:\\";
    root[0] = static_cast<wchar_t>(letter);
    const DEVINST device = finddiskdevinst(sdn.DeviceNumber, GetDriveTypeW(root));
    if (!device) {
        pushint(0);
        return;
    }
    const ejectapi& api = ejectcalls();
    if (!api.parent || !api.eject) {
        refuse(L"CM_Request_Device_EjectW is not available.\n");
        return;
    }
    // Without its parent the request would name another device.
    DEVINST parent = 0;
    if (api.parent(&parent, device, 0) != CR_SUCCESS || parent == 0) {
        pushint(0);
        return;
    }
    pushint(usbejectrequest(parent, api.eject));
}

// ---- front ends

void ExeScr::mastervol_comp(wchar_t* args)
{
    static const subword words[] = {{L"set", 0}, {L"get", 1}, {L"mute", 2}, {nullptr, 0}};
    const int32_t count = splitargs(args);
    const int32_t code = subcommand(args, words);
    if (count != (code == 0 ? 2 : 1))
        comperr(L"the number of argument mismatch.");
    if (code == 0)
        nextnum(args);
    mypop();
    emitcell(&ExeScr::mastervol_exec);
    emitu64(static_cast<uint64_t>(code));
}

void ExeScr::setprog_comp(wchar_t* args)
{
    static const subword words[] = {{L"open", 0}, {L"value", 1}, {L"close", 2}, {nullptr, 0}};
    const int32_t count = splitargs(args);
    const int32_t code = subcommand(args, words);
    if (count != (code == 2 ? 1 : 2))
        comperr(L"the number of argument mismatch.");
    if (code != 2)
        nextnum(args);
    mypop();
    emitcell(&ExeScr::setprog_exec);
    emitu64(static_cast<uint64_t>(code));
}

void ExeScr::usbeject_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::usbeject_exec);
}
