@echo off
rem A tour of DUDUZUVEZ210.dll through its command-line client dzv.exe, on the
rem example data beside this script; the Windows counterpart of tour.sh.
rem Usage: examples\tour.cmd [FOLDER]
rem   FOLDER holds dzv.exe and DUDUZUVEZ210.dll, itself or in its bin folder
rem   (the unpacked ZIP, a Windows build folder); without it, dzv.exe next to
rem   this script or on PATH.
rem
rem The files are made in a folder of their own under %TEMP%, removed at the
rem end. The registry and the clipboard are the system's: the tour writes only
rem below its own key HKCU\Software\dzv-tour, which it deletes at the end, and
rem its clipboard text replaces yours. A step that should work and does not
rem ends the tour with exit status 1, after the same cleanup.
setlocal EnableExtensions DisableDelayedExpansion

set "here=%~dp0"
set "data=%here%data"
set "tourkey=HKCU\Software\dzv-tour"
set "dzv_exe="

set "usage_status=0"
if "%~1"=="/?" goto usage
if /i "%~1"=="-h" goto usage
if /i "%~1"=="--help" goto usage
set "usage_status=2"
if not "%~2"=="" goto usage
if "%~1"=="" goto find_dzv
if exist "%~f1\dzv.exe" set "dzv_exe=%~f1\dzv.exe"
if not defined dzv_exe if exist "%~f1\bin\dzv.exe" set "dzv_exe=%~f1\bin\dzv.exe"
if not defined dzv_exe goto no_dzv_in_folder
goto check_dll

:find_dzv
if exist "%here%dzv.exe" set "dzv_exe=%here%dzv.exe"
if not defined dzv_exe for %%I in (dzv.exe) do set "dzv_exe=%%~$PATH:I"
if not defined dzv_exe goto no_dzv

:check_dll
for %%I in ("%dzv_exe%") do set "dzv_dir=%%~dpI"
if not exist "%dzv_dir%DUDUZUVEZ210.dll" goto no_dll
if not exist "%data%\orders.txt" goto no_data

rem A folder of the tour's own; mkdir fails when another took the name first.
set /a tries=0
:make_work
set /a tries+=1
set "work=%TEMP%\dzv-tour-%RANDOM%%RANDOM%"
if exist "%work%" goto make_work_again
mkdir "%work%" 2>nul
if exist "%work%\" goto made_work
:make_work_again
if %tries% lss 20 goto make_work
>&2 echo tour: cannot make a folder in %TEMP%
endlocal & exit /b 2

:made_work
set "status=1"
rem cmd's own commands are checked by what they leave, not by their exit
rem status: some keep the status of the command before them when they work.
rem A dzv step is checked on the line after it (if errorlevel), not with || or
rem &&, which Wine's cmd does not honour.
copy /y "%data%\orders.txt" "%work%" >nul
copy /y "%data%\site.txt" "%work%" >nul
copy /y "%data%\orders.mdl" "%work%" >nul
cd /d "%work%"
if not exist orders.txt goto failed
if not exist site.txt goto failed
if not exist orders.mdl goto failed

call :section "Dictionaries: a text form imported into an archive file"
call :dzv dict import orders.txt orders.dict
if errorlevel 1 goto failed
call :dzv dict show orders.dict
if errorlevel 1 goto failed
echo (the order above is the library's own: by hash bucket, newest first; the
echo  archive file keeps it, control bytes are shown as \xHH)
call :dzv dict show --text orders.dict
if errorlevel 1 goto failed
call :dzv dict get orders.dict Orders.Server
if errorlevel 1 goto failed
call :dzv dict attr orders.dict Field.Customer Label
if errorlevel 1 goto failed
call :dzv dict attr orders.dict Field.Discount S
if errorlevel 1 goto failed
echo (Field.Discount has no structured value: S reads the item Field.Discount.Status Text)

call :section "Changing an archive: every save replaces the file only when it is written whole"
call :dzv dict set orders.dict Orders.Currency CHF
if errorlevel 1 goto failed
call :dzv dict delete orders.dict Report.Header
if errorlevel 1 goto failed
call :dzv_fails dict get orders.dict Report.Header
if errorlevel 1 goto failed

call :section "Merging: a site's settings over the client's, list values keep both"
call :dzv dict import site.txt site.dict
if errorlevel 1 goto failed
call :dzv dict merge --prefix Orders. orders.dict site.dict merged.dict
if errorlevel 1 goto failed
call :dzv dict show merged.dict
if errorlevel 1 goto failed
call :dzv dict export merged.dict merged.txt
if errorlevel 1 goto failed
echo ^> type merged.txt
type merged.txt

call :section "Damaged files are named and explained, and left as they are"
echo (broken.dict is a text form saved under an archive's name)
copy /y orders.txt broken.dict >nul
if not exist broken.dict goto failed
call :dzv_fails dict show broken.dict
if errorlevel 1 goto failed
call :dzv_fails dict set broken.dict Orders.Server db3
if errorlevel 1 goto failed
call :dzv_fails dict show missing.dict
if errorlevel 1 goto failed
echo These notes hold no settings.> notes.txt
call :dzv_fails dict import notes.txt notes.dict
if errorlevel 1 goto failed

call :section "Profiles: a user layer over a default layer, each an archive file"
call :dzv profile set --layer default --default defaults.dict Window Left 100
if errorlevel 1 goto failed
call :dzv profile set --layer default --default defaults.dict Window Top 50
if errorlevel 1 goto failed
call :dzv profile set --user user.dict Window Left 120
if errorlevel 1 goto failed
call :dzv profile list --user user.dict --default defaults.dict Window
if errorlevel 1 goto failed
call :dzv profile get --user user.dict --default defaults.dict Window Left
if errorlevel 1 goto failed
call :dzv profile delete --user user.dict --default defaults.dict Window Left
if errorlevel 1 goto failed

call :section "Model files: every line classified, the object tree"
call :dzv model stats orders.mdl
if errorlevel 1 goto failed
call :dzv model outline orders.mdl
if errorlevel 1 goto failed

call :section "Registry (the system's; the tour's own key %tourkey%, deleted at the end)"
call :dzv registry write "%tourkey%\Orders" Server db1.example.com
if errorlevel 1 goto failed
call :dzv registry write "%tourkey%\Orders" Port 1521
if errorlevel 1 goto failed
call :dzv registry list "%tourkey%\Orders"
if errorlevel 1 goto failed
call :dzv registry read "%tourkey%\Orders" Server
if errorlevel 1 goto failed
call :dzv registry delete "%tourkey%\Orders" Port
if errorlevel 1 goto failed
call :dzv registry list "%tourkey%\Orders"
if errorlevel 1 goto failed
call :dzv registry delete-key "%tourkey%"
if errorlevel 1 goto failed
call :dzv_fails registry read "%tourkey%\Orders" Server
if errorlevel 1 goto failed

call :section "Clipboard (the system's: the tour's text replaces what it held)"
call :dzv clipboard set "Order 4711: 3 lines"
if not errorlevel 1 goto clipboard_get
echo (the clipboard cannot be used here, no desktop perhaps; the tour goes on)
goto credentials
:clipboard_get
call :dzv clipboard get
if errorlevel 1 goto failed

:credentials
call :section "Credentials: are the sibling library and the database client there?"
call :dzv credentials status
if errorlevel 1 goto failed

echo.
echo The tour is over; its files and its registry key are gone. Try dzv --help (%dzv_exe%).
set "status=0"
goto cleanup

:failed
echo.
>&2 echo tour: the step above did not do what it should; the tour stops here

:cleanup
cd /d "%TEMP%"
"%dzv_exe%" registry delete-key "%tourkey%" >nul 2>&1
rmdir /s /q "%work%" 2>nul
if not exist "%work%" goto cleaned
>&2 echo tour: cannot remove %work%
set "status=1"
:cleaned
endlocal & exit /b %status%

rem ---- subroutines ----------------------------------------------------------

:section
echo.
echo == %~1
exit /b 0

rem Shows a dzv command line, then runs it; its exit status is the call's.
:dzv
echo.
echo ^> dzv %*
"%dzv_exe%" %* 2>&1
exit /b %errorlevel%

rem The same, for a command that is meant to fail: shows its exit status.
:dzv_fails
call :dzv %*
if errorlevel 1 goto dzv_failed
>&2 echo tour: that should have failed
exit /b 1
:dzv_failed
echo (exit status %errorlevel%)
exit /b 0

:usage
echo Usage: examples\tour.cmd [FOLDER]
echo A tour of DUDUZUVEZ210.dll through dzv.exe, on the example data beside the
echo script. FOLDER holds dzv.exe and DUDUZUVEZ210.dll, itself or in its bin
echo folder; without it, dzv.exe next to the script or on PATH.
endlocal & exit /b %usage_status%

:no_dzv_in_folder
>&2 echo tour: no dzv.exe in %~f1 or %~f1\bin
endlocal & exit /b 2

:no_dzv
>&2 echo tour: no dzv.exe next to this script or on PATH; name its folder:
>&2 echo   examples\tour.cmd C:\path\to\folder-with-dzv.exe
endlocal & exit /b 2

:no_dll
>&2 echo tour: no DUDUZUVEZ210.dll beside %dzv_exe%
endlocal & exit /b 2

:no_data
>&2 echo tour: no example data in %data%
endlocal & exit /b 2
