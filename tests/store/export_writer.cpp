// Test helper: exports a store to a backup file again and again until it is
// killed, as a program that crashes during an export would leave it.
//
//   export_writer.exe <store path> <backup path>
#include <windows.h>

#include <string>

#include "store/database.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    Database db(argv[1]);
    if (!db.is_open()) return 3;
    for (;;) {
        if (db.export_json(argv[2]) < 0) return 4;
    }
}
