@echo off
rem Adds "Make picture index" to the menu of folders (and of the empty space
rem inside an open folder) for the current user only: no administrator rights.
rem It runs the pagrimo.exe beside this script on that folder. The text is in
rem Japanese when the user's language is Japanese. Running it again does no
rem harm; uninstall.cmd removes the entry.
setlocal DisableDelayedExpansion
set "exe=%~dp0pagrimo.exe"
set "japanese=%~dp0install-ja.reg"
if not exist "%exe%" (
  echo pagrimo.exe is not beside install.cmd.
  exit /b 1
)
set "shell=HKCU\Software\Classes\Directory\shell\pagrimo"
set "background=HKCU\Software\Classes\Directory\Background\shell\pagrimo"

rem The display language chosen in the settings, else the user's locale.
set "language="
for /f "tokens=1,2,*" %%a in ('reg query "HKCU\Control Panel\Desktop" /v PreferredUILanguages 2^>nul') do (
  if /i "%%a"=="PreferredUILanguages" set "language=%%c"
)
if not defined language for /f "tokens=1,2,*" %%a in ('reg query "HKCU\Control Panel\International" /v LocaleName 2^>nul') do (
  if /i "%%a"=="LocaleName" set "language=%%c"
)
if not defined language set "language=en"

rem The Japanese text comes from a UTF-16 file, as no code page of this script
rem could carry it. Every step is checked with "if errorlevel": some cmd
rem versions take "command >nul || ..." for a failure.
if /i "%language:~0,2%"=="ja" (
  reg import "%japanese%" >nul 2>&1
) else (
  reg add "%shell%" /ve /d "Make picture index" /f >nul
  if not errorlevel 1 reg add "%background%" /ve /d "Make picture index" /f >nul
)
if errorlevel 1 goto failed

rem The command: "<this folder>\pagrimo.exe" "%V". The path is expanded late,
rem so that characters such as & or ^ in it stay as they are.
setlocal EnableDelayedExpansion
reg add "%shell%\command" /ve /d "\"!exe!\" \"%%V\"" /f >nul
if errorlevel 1 goto failed
reg add "%background%\command" /ve /d "\"!exe!\" \"%%V\"" /f >nul
if errorlevel 1 goto failed
echo Folders now have "Make picture index" in their menu; it runs
echo !exe!
exit /b 0

:failed
echo The folder menu entry could not be added.
exit /b 1
