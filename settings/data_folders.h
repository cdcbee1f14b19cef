// The program's two data folders, derived from the install settings record
// at start-up (user data folder: settings records, option set, backups;
// common data folder: shared by all users). Empty until start-up sets them;
// no trailing backslash.
#pragma once

extern char gUserDataFolder[260];
extern char gCommonDataFolder[260];
