@echo off
rem Deletes the uninstaller once it has ended (and the uninstaller it was
rem started by, when that was moved beside it), then the folder made for it
rem and itself; gives up after about a minute when a file stays (held open
rem or read-only).
set /a VpTries=0
:Repeat
del "#MODULEFN#" >nul 2>&1
del "#ASIDEFN#" >nul 2>&1
if exist "#MODULEFN#" goto Again
if exist "#ASIDEFN#" goto Again
goto Done
:Again
set /a VpTries+=1
if %VpTries% GEQ 60 goto Done
ping -n 2 127.0.0.1 >nul 2>&1
goto Repeat
:Done
if not "#OWNFOLDER#"=="" rd "#OWNFOLDER#" >nul 2>&1
del "#BATCHFN#"
