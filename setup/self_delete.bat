@echo off
rem Deletes the uninstaller once it has ended, then itself; gives up after
rem about a minute when the file stays (held open or read-only).
set /a VpTries=0
:Repeat
del "#MODULEFN#" >nul 2>&1
if not exist "#MODULEFN#" goto Done
set /a VpTries+=1
if %VpTries% GEQ 60 goto Done
ping -n 2 127.0.0.1 >nul 2>&1
goto Repeat
:Done
del "QvAutoDel.bat"
