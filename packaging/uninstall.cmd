@echo off
rem Removes the folder menu entry that install.cmd added for the current user,
rem and nothing else. Running it again, or without install.cmd before, does no
rem harm.
setlocal
call :remove "HKCU\Software\Classes\Directory\shell\pagrimo"
if errorlevel 1 goto failed
call :remove "HKCU\Software\Classes\Directory\Background\shell\pagrimo"
if errorlevel 1 goto failed
echo The folder menu entry "Make picture index" is removed.
exit /b 0

rem Deletes one key with its subkeys, when it is there.
:remove
reg query %1 >nul 2>&1
if errorlevel 1 exit /b 0
reg delete %1 /f >nul
exit /b

:failed
echo The folder menu entry could not be removed.
exit /b 1
