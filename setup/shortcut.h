// Shortcuts and web links.
#pragma once

// Makes the link file named by link (a path without extension): a web link
// "<link>.url" for a target starting with "http://" or "https://", else a
// shell link "<link>.lnk" to target with arguments and the icon (file,
// index 0). Missing folders of the link path are created.
// 0; 1 the link could not be made; 2 the temporary link could not be read
// back; 3 the link file could not be written.
int CreateShortcut(const char* target, const char* link, const char* arguments, const char* icon);
