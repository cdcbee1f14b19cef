// Setup's start-up and its silent run: the command line, the mode, the OS
// code, loading the script, the predefined variables, the phases without
// the wizard, the "-USE=" files and the log file.
#pragma once
#include <windows.h>

extern HINSTANCE gSetupInstance;  // string table, icons
extern HANDLE gWorkerThread;      // the wizard's phase-1 worker, or null

// Reads the switches "-SILENT", "-KEEPCFG" (#KEEPCFG#), "-WORKDIR=",
// "-INSTALL=", "-DATA=", "-USE=" and "-UNINSTALLER=" (the uninstaller that
// started its temporary copy) anywhere, without case, values by the
// script's argument rule or, for a switch opened by a double quote, up to
// the closing quote, into gSetup and the variables (absolute folders in
// their normal form); "-WORKDIR=" changes the current folder.
void ParseSetupCommandLine(const char* commandLine);
// 630, 620, 610, 600 or 510: the first Windows version that the system is
// at least.
int DetectOsCode();

// The start of the name of the folder made in the temporary folder for the
// uninstaller's copy (eight hex digits follow).
extern const char kUninstallFolderPrefix[];

// True when the running file is the uninstaller's temporary copy
// ("_QvUItmp.exe", without case).
bool IsTemporaryUninstaller();

// Everything before the wizard or the silent run: mode, OS code, built-in
// variables, the uninstaller's hand-over to its temporary copy (the process
// ends there), the script and phase 0. 0, or the code that failed start-up.
int InitSetup(HINSTANCE instance);
// The built-in variables (before the script is loaded).
void InitVariables0();
// Phase 0 and the defaults from the install settings record. The result code.
int InitVariables1();

// Clears the result code and runs phase n: on a new worker thread (0, or 14
// when it cannot be started) or at once on this thread (0).
int StartPhase(int n, bool threaded);

// #INSTALLSIZE#: the kilobytes of the files this run installed (only
// those: an install folder may hold other files, or be a drive's root).
void SetInstallSizeVar();
// After phase 1 of a first install: the install folder and the parents
// this run made, into the registration's "MadeFolders" (an upgrade keeps
// what the first install wrote there).
void NoteMadeFolders();
// After phase 1 of an uninstall: the folders of #MADEFOLDERS# that are
// empty, deepest first.
void RemoveMadeFolders();
// The silent run: phases 0, 1, 2 (or 3 after an error), the "-USE=" files
// and the log file. The outcome stays in gSetup.result.
void RunSilentSetup();
// The log of a silent run in the current folder, named after the program
// file with ".log" in place of its last four characters: for a non-zero
// gSetup.result the message of messageId (0: the code's own message) and
// the cause of a failed start-up or the failing script line, a note when
// Windows must be restarted, then the outcome. False when it could not be
// written. A silent run shows no message box: every message goes here.
bool WriteSetupLog(int messageId);

// "X:\..." or "\\server\...": a folder that does not depend on the current
// folder or drive.
bool IsAbsoluteFolder(const char* path);
// False when "-INSTALL=" or "-DATA=" named a folder that is not absolute
// (a drive letter and a backslash, or a network path).
bool CommandLineFoldersAbsolute();

// True for the uninstaller's temporary copy of an uninstaller whose folder
// is not the one the install record names (an earlier installation's
// uninstaller left behind): it must not remove the installation there.
bool UninstallerOfOtherInstall();

// Frees the script unless the worker thread may still read it. True when
// it was freed (or there was none).
bool FreeSetupScript();
// Asks whether to restart Windows (needed after a file was in use) and
// restarts it on OK.
void AskRestart();
