// The program's version, used by the version resource.
#pragma once
#define VP_VERSION_MAJOR 4
#define VP_VERSION_MINOR 13
#define VP_VERSION_BUILD 0
#define VP_VERSION_TEXT "4.13.0"
