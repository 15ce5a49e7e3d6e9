@echo off
rem Registers the frame-grabber plug-ins of this folder for the host
rem application: VideoGrabber.tlb (unless the host application's own copy is
rem registered already), then each TRVGPlug*.dll with regsvr32.
rem Run it as an administrator; the registration points at this folder.
setlocal
cd /d "%~dp0"
set regsvr32=%SystemRoot%\System32\regsvr32.exe
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set regsvr32=%SystemRoot%\SysWOW64\regsvr32.exe

vgrab.exe register-typelib "%~dp0VideoGrabber.tlb"
if errorlevel 1 goto failed
for %%d in (TRVGPlug*.dll) do (
    "%regsvr32%" /s "%~dp0%%d"
    if errorlevel 1 (
        echo Could not register %%d: is this Command Prompt running as administrator?
        goto failed
    )
    echo registered %%d
)
echo.
vgrab.exe list
exit /b 0

:failed
echo Installation stopped. uninstall.cmd removes what was registered.
exit /b 1
