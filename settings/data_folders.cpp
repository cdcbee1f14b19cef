// Storage of the two data folders.
#include "data_folders.h"

char gUserDataFolder[260];
char gCommonDataFolder[260];
