// The update server's address, which also serves the download page and the
// online documentation. The program holds the real site; the test programs
// link a second build of this file (q_test_update_base) that defines
// QUILLET_UPDATE_BASE as the local test server, and its object takes the
// place of the library's. Nothing else may live in this file, so that the
// library's object is never linked beside the test one.
#include "app/web_addresses.h"

#ifndef QUILLET_UPDATE_BASE
#define QUILLET_UPDATE_BASE "https://quillet.app"
#endif

std::wstring update_base() { return L"" QUILLET_UPDATE_BASE; }
