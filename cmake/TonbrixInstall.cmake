# cmake --install BUILD --prefix DIR puts a complete, runnable Tonbrix under DIR:
#   DIR/lib/tonbrix/            the program folder: tonbrix, evc.exe, Res.dll,
#                               Form.dll, Help.html and an empty Config/
#   DIR/bin/tonbrix             a symbolic link to the program
#   DIR/share/applications/tonbrix.desktop
#   DIR/share/icons/hicolor/scalable/apps/tonbrix.svg
# The program finds its companions beside its own executable (/proc/self/exe
# resolves the link), so it starts from the menu, from bin/ or from the folder.
# Config/ and log.txt live in the program folder and must stay writable by the
# person who runs it: install into a prefix of their own (~/.local, the
# default below when installing as an ordinary user) or, for a system prefix,
# make DIR/lib/tonbrix/Config and DIR/lib/tonbrix/log.txt theirs (the README
# says how).
include(GNUInstallDirs)

execute_process(COMMAND id -u OUTPUT_VARIABLE tonbrix_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND DEFINED ENV{HOME} AND NOT tonbrix_uid STREQUAL "0")
  # An install where the person can write is the sound default for a program
  # that keeps its settings beside itself.
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix" FORCE)
endif()

set(TONBRIX_INSTALL_APP_DIR "lib/tonbrix")
set(tonbrix_install_source "${CMAKE_CURRENT_LIST_DIR}/install")

if(TARGET tonbrix)
  install(TARGETS tonbrix RUNTIME DESTINATION "${TONBRIX_INSTALL_APP_DIR}")
endif()
install(TARGETS evc RUNTIME DESTINATION "${TONBRIX_INSTALL_APP_DIR}")
foreach(companion tonbrix_res tonbrix_form)
  if(TARGET ${companion})
    install(TARGETS ${companion} LIBRARY DESTINATION "${TONBRIX_INSTALL_APP_DIR}")
  endif()
endforeach()
install(FILES "${TONBRIX_APP_DIR}/Help.html" DESTINATION "${TONBRIX_INSTALL_APP_DIR}" OPTIONAL)
install(DIRECTORY DESTINATION "${TONBRIX_INSTALL_APP_DIR}/Config")
install(FILES "${tonbrix_install_source}/tonbrix.svg" DESTINATION "share/icons/hicolor/scalable/apps")
# bin/tonbrix: a relative link, so the installed tree can be moved as a whole.
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(REMOVE \"\${bin}/tonbrix\")
  file(CREATE_LINK \"../${TONBRIX_INSTALL_APP_DIR}/tonbrix\" \"\${bin}/tonbrix\" SYMBOLIC)
  message(STATUS \"Installing: \${bin}/tonbrix -> ../${TONBRIX_INSTALL_APP_DIR}/tonbrix\")
")
# The menu entry names the installed program by its full path: a prefix that
# is not on PATH still starts from the menu.
install(CODE "
  file(READ \"${tonbrix_install_source}/tonbrix.desktop.in\" entry)
  string(REPLACE \"@TONBRIX_EXEC@\" \"\${CMAKE_INSTALL_PREFIX}/bin/tonbrix\" entry \"\${entry}\")
  set(applications \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications\")
  file(MAKE_DIRECTORY \"\${applications}\")
  file(WRITE \"\${applications}/tonbrix.desktop\" \"\${entry}\")
  message(STATUS \"Installing: \${applications}/tonbrix.desktop\")
")
