# The Windows package: `cpack` in the build directory of the windows preset
# makes cfckit-<version>-win64.zip and an installer, cfckit-<version>-win64.exe,
# from every install() rule of the project (so a program added later with
# its own install() joins both without a change here):
#   bin/      vornax.exe, kestrix.exe, cfc.dll, ZANTAL.dll (stripped)
#   include/  cfc.h, emmierr.h, zantal.h
#   lib/      the import libraries and the .def files of both DLLs
#   examples/ a production line's program in C
#   README.txt
# The installer adds a Start-menu entry for kestrix, registers its
# uninstaller, installs silently with /S and, when asked (on its options
# page, or silently with /ADDTOPATH=user or /ADDTOPATH=all), puts bin on the
# PATH; the uninstaller takes it off again.

# The README in the line ends Windows' own editors expect.
file(READ ${PROJECT_SOURCE_DIR}/README.md cfckit_readme)
string(REPLACE "\r\n" "\n" cfckit_readme "${cfckit_readme}")
string(REPLACE "\n" "\r\n" cfckit_readme "${cfckit_readme}")
file(WRITE ${CMAKE_BINARY_DIR}/README.txt "${cfckit_readme}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/examples/production.c DESTINATION examples)
# cfckit for Python beside cfc.dll, which it finds in the folder above its
# own; the station example with it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/cfckit DESTINATION bin
  FILES_MATCHING PATTERN "*.py" PATTERN "py.typed"
  PATTERN "__pycache__" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/python/examples/station_on_simulator.py
  DESTINATION examples/python)

set(CPACK_PACKAGE_NAME cfckit)
set(CPACK_PACKAGE_VENDOR "cfckit")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "switch a radio module's Java AutoExec off over its serial port")
set(CPACK_PACKAGE_INSTALL_DIRECTORY cfckit)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY cfckit)
set(CPACK_SYSTEM_NAME win64)
# The build carries debug information; users get the programs without.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP NSIS)

# Start-menu entry: bin/kestrix.exe under the name its window shows.
set(CPACK_PACKAGE_EXECUTABLES kestrix "Disable AutoExec (kestrix)")
set(CPACK_NSIS_PACKAGE_NAME "cfckit ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "cfckit ${PROJECT_VERSION}")
# 64-bit programs belong in the 64-bit program folder.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MODIFY_PATH ON)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_INSTALLED_ICON_NAME bin\\\\kestrix.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_BINARY_DIR}/frontends/gui/kestrix.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_BINARY_DIR}/frontends/gui/kestrix.ico)
# The options page is where an interactive user asks for PATH; a silent
# install asks with /ADDTOPATH=user (this user) or /ADDTOPATH=all. The
# choice is recorded where the uninstaller reads it. (CPack writes these
# texts into a CMake script of its own, hence the escaped $, quotes and
# backslashes.)
# The installer is a 64-bit program like the ones it installs, so it runs
# wherever they do (a 64-bit-only Wine too).
set(CPACK_NSIS_DEFINES "Target amd64-unicode\n!include FileFunc.nsh")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  \${GetParameters} $R0
  ClearErrors
  \${GetOptions} $R0 \"/ADDTOPATH=\" $R1
  IfErrors cfckit_path_asked_done
  StrCpy $DO_NOT_ADD_TO_PATH \"0\"
  StrCmp $R1 \"all\" 0 cfckit_path_user
    StrCpy $ADD_TO_PATH_ALL_USERS \"1\"
    Goto cfckit_path_keep
  cfckit_path_user:
    StrCpy $ADD_TO_PATH_CURRENT_USER \"1\"
  cfckit_path_keep:
  WriteRegStr SHCTX \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\cfckit\" \"DoNotAddToPath\" \"0\"
  WriteRegStr SHCTX \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\cfckit\" \"AddToPathAllUsers\" \"$ADD_TO_PATH_ALL_USERS\"
  WriteRegStr SHCTX \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\cfckit\" \"AddToPathCurrentUser\" \"$ADD_TO_PATH_CURRENT_USER\"
  cfckit_path_asked_done:
]=])

include(CPack)
