# The program for Windows, built with a static Qt: one .exe that needs no DLL of Qt or MinGW.

# A window program, so that Explorer opens no console beside the window; the batch mode attaches to the
# console of the prompt it was started from (src/app/main.cpp).
set_target_properties(controle-coherence PROPERTIES WIN32_EXECUTABLE ON)

# Peak memory of the batch statistics.
target_link_libraries(cc_app PUBLIC psapi)

# The tests run under Wine, in a Wine prefix of the build's own, never the user's. Wine drops the QT_
# variables of the Unix environment but passes WINEQT_QPA_PLATFORM on as QT_QPA_PLATFORM; Qt Test logs
# to the debugger unless told otherwise.
set(CC_WINEPREFIX ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CC_WINEPREFIX} WINEDEBUG=-all WINEQT_QPA_PLATFORM=offscreen WINEQT_FORCE_STDERR_LOGGING=1
    wine)

# Once every folder is read: a static Qt links only the plugins it is told about, so each program gets
# the platforms (the desktop, and offscreen for the tests) and the two SQL drivers.
function(cc_plugins_statiques dossier)
  get_property(cibles DIRECTORY ${dossier} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(cible IN LISTS cibles)
    get_target_property(type ${cible} TYPE)
    if(type STREQUAL "EXECUTABLE")
      qt_import_plugins(${cible} INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin
                        Qt6::QSQLiteDriverPlugin Qt6::QODBCDriverPlugin)
    endif()
  endforeach()
  get_property(sous DIRECTORY ${dossier} PROPERTY SUBDIRECTORIES)
  foreach(s IN LISTS sous)
    cc_plugins_statiques(${s})
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL cc_plugins_statiques ${PROJECT_SOURCE_DIR})
