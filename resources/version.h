/* The program's version, for the version block and for the code. Plain C
   preprocessor only: the resource compiler reads this file too. */
#ifndef QUILLET_RESOURCES_VERSION_H
#define QUILLET_RESOURCES_VERSION_H

#define QUILLET_VERSION_MAJOR 1
#define QUILLET_VERSION_MINOR 3
#define QUILLET_VERSION_PATCH 7
#define QUILLET_VERSION_TEXT "1.3.7"
#define QUILLET_VERSION_WTEXT L"1.3.7"

#endif
