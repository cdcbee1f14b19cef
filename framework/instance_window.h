// The hidden per-process window of class "MoxPhantom": how instances find
// each other and hand requests over (the registered "MoxMSG_MoxCONTROL"
// broadcast, identified by the product CRC), and the receiver of the
// system's program-wide broadcasts and the hourly schedule timer.
#pragma once
#include <windows.h>

LRESULT CALLBACK PhantomWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// True when the process runs elevated; also true below OS code 600 and when
// the token can't be read.
bool IsProcessElevated(int osCode);

// The hourly timer and its tick counter (24 ticks run the due schedules).
constexpr UINT_PTR kPhantomTimerId = 0x4321;
constexpr UINT kPhantomTimerMs = 3600000;
int PhantomTickCount();
