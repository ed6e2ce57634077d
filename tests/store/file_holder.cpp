// Test helper: another program that holds a file open without delete
// sharing, as an editor, a scanner or a backup tool may, so that the file
// cannot be renamed while it runs.
//
//   file_holder.exe <path> <ready event> <let-go event>
//
// It sets the ready event once the file is open and closes it when the
// let-go event is set (or after two minutes).
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE let_go = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (!ready || !let_go) return 4;
    SetEvent(ready);
    WaitForSingleObject(let_go, 120000);
    CloseHandle(file);
    CloseHandle(ready);
    CloseHandle(let_go);
    return 0;
}
