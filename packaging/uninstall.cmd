@echo off
rem Unregisters the frame-grabber plug-ins of this folder, and VideoGrabber.tlb
rem where install.cmd registered it from here. Run it as an administrator.
setlocal
cd /d "%~dp0"
set regsvr32=%SystemRoot%\System32\regsvr32.exe
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set regsvr32=%SystemRoot%\SysWOW64\regsvr32.exe

set status=0
for %%d in (TRVGPlug*.dll) do (
    "%regsvr32%" /s /u "%~dp0%%d"
    if errorlevel 1 (
        echo Could not unregister %%d: is this Command Prompt running as administrator?
        set status=1
    ) else (
        echo unregistered %%d
    )
)
vgrab.exe unregister-typelib "%~dp0VideoGrabber.tlb"
if errorlevel 1 set status=1
exit /b %status%
