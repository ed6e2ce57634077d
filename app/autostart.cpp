// The autostart value in the per-user Run key.
#include "app/autostart.h"

#include <string>

#include "core/handles.h"
#include "core/paths.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"Quillet";

}  // namespace

bool is_autostart_enabled() {
    raii::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    BYTE data[520];
    DWORD size = sizeof(data);
    DWORD type = 0;
    return RegQueryValueExW(key.get(), kValueName, nullptr, &type, data, &size) == ERROR_SUCCESS;
}

LONG set_autostart(bool on) {
    raii::RegKey key;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, key.put());
    if (status != ERROR_SUCCESS) return status;
    if (on) {
        std::wstring quoted = L"\"" + winutil::exe_path() + L"\"";
        DWORD bytes = static_cast<DWORD>((quoted.size() + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key.get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(quoted.c_str()), bytes);
    } else {
        status = RegDeleteValueW(key.get(), kValueName);
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    return status;
}
