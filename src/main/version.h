#pragma once
// The program's version; the version resource and the caption are built from it.
#define VARNU_VERSION_MAJOR 1
#define VARNU_VERSION_MINOR 5
#define VARNU_VERSION_PATCH 0
#define VARNU_VERSION_BUILD 0
#define VARNU_STRINGIFY2(x) #x
#define VARNU_STRINGIFY(x) VARNU_STRINGIFY2(x)
#define VARNU_VERSION_TEXT                                                                                 \
    VARNU_STRINGIFY(VARNU_VERSION_MAJOR)                                                                   \
    "." VARNU_STRINGIFY(VARNU_VERSION_MINOR) "." VARNU_STRINGIFY(VARNU_VERSION_PATCH) "." VARNU_STRINGIFY( \
        VARNU_VERSION_BUILD)
