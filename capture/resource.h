// Resource ids of the main program (the framework's own are in
// framework/message_box.h and framework.rc).
#pragma once

#define IDI_PROGRAM 1
#define IDI_MESSAGE 2
#define IDR_MANIFEST 1
