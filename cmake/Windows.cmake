# The program for Windows, built with a static Qt: one .exe that needs no DLL of Qt or MinGW.

# A window program, so that Explorer opens no console beside the window; the batch mode attaches to the
# console of the prompt it was started from (src/app/main.cpp).
set_target_properties(controle-coherence PROPERTIES WIN32_EXECUTABLE ON)

# Peak memory of the batch statistics.
target_link_libraries(cc_app PUBLIC psapi)

# The icon, made at build time from the same drawing as the desktop entry's: a multi-size .ico (16 to
# 256 pixels, the largest stored as PNG) for the .exe, the installer and, through Qt's ICO reader, the
# window (the static Qt reads no SVG).
find_program(CC_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(CC_ICOTOOL icotool REQUIRED)
set(CC_ICONE_SVG ${PROJECT_SOURCE_DIR}/packaging/controle-coherence.svg)
set(CC_ICONE ${CMAKE_BINARY_DIR}/icone/controle-coherence.ico)
set(cc_pngs)
set(cc_commandes)
foreach(taille 16 20 24 32 40 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/icone/${taille}.png)
  list(APPEND cc_commandes COMMAND ${CC_RSVG_CONVERT} -w ${taille} -h ${taille} -o ${png} ${CC_ICONE_SVG})
  if(taille EQUAL 256)
    list(APPEND cc_pngs -r ${png})
  else()
    list(APPEND cc_pngs ${png})
  endif()
endforeach()
add_custom_command(
  OUTPUT ${CC_ICONE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icone
  ${cc_commandes}
  COMMAND ${CC_ICOTOOL} -c -o ${CC_ICONE} ${cc_pngs}
  DEPENDS ${CC_ICONE_SVG}
  COMMENT "Icône Windows (rsvg-convert, icotool)"
  VERBATIM)
qt_add_resources(cc_app icone_windows PREFIX "/" BASE ${CMAKE_BINARY_DIR}/icone FILES ${CC_ICONE})

# The .exe's own resources: the icon, which Explorer, the Start menu and the window's frame show, and
# the version that the file's properties give.
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/controle-coherence.rc.in
               ${CMAKE_BINARY_DIR}/controle-coherence.rc @ONLY)
target_sources(controle-coherence PRIVATE ${CMAKE_BINARY_DIR}/controle-coherence.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/controle-coherence.rc PROPERTIES OBJECT_DEPENDS ${CC_ICONE})

# The tests run under Wine, in a Wine prefix of the build's own, never the user's. Wine drops the QT_
# variables of the Unix environment but passes WINEQT_QPA_PLATFORM on as QT_QPA_PLATFORM; Qt Test logs
# to the debugger unless told otherwise. The static Qt ships no fonts: without Debian's DejaVu the
# window's texts would have no size and its layout would not be the one a user sees.
set(CC_WINEPREFIX ${CMAKE_BINARY_DIR}/wine CACHE PATH "Préfixe Wine des tests")
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CC_WINEPREFIX} WINEDEBUG=-all WINEQT_QPA_PLATFORM=offscreen WINEQT_FORCE_STDERR_LOGGING=1
    WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu wine)

# Once every folder is read: a static Qt links only the plugins it is told about, so each program gets
# the platforms (the desktop, and offscreen for the tests), the two SQL drivers and the ICO reader.
function(cc_plugins_statiques dossier)
  get_property(cibles DIRECTORY ${dossier} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(cible IN LISTS cibles)
    get_target_property(type ${cible} TYPE)
    if(type STREQUAL "EXECUTABLE")
      qt_import_plugins(${cible} INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin
                        Qt6::QSQLiteDriverPlugin Qt6::QODBCDriverPlugin Qt6::QICOPlugin)
    endif()
  endforeach()
  get_property(sous DIRECTORY ${dossier} PROPERTY SUBDIRECTORIES)
  foreach(s IN LISTS sous)
    cc_plugins_statiques(${s})
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL cc_plugins_statiques ${PROJECT_SOURCE_DIR})
