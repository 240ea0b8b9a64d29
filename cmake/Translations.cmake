# Every translations/pelu_<language>.ts is compiled with lrelease and built into the app
# library as :/i18n/pelu_<language>.qm; the viewer loads the one of the user's locale.
# `make translations` (the top-level Makefile) refreshes the .ts files from the sources.
find_program(PELU_LRELEASE NAMES lrelease-qt6 lrelease
  HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" /usr/lib/qt6/bin REQUIRED)

file(GLOB pelu_ts_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/translations/pelu_*.ts)
set(pelu_qm_files "")
foreach(ts ${pelu_ts_files})
  get_filename_component(name ${ts} NAME_WE)
  set(qm ${CMAKE_BINARY_DIR}/i18n/${name}.qm)
  add_custom_command(OUTPUT ${qm}
    COMMAND ${PELU_LRELEASE} -silent ${ts} -qm ${qm}
    DEPENDS ${ts}
    COMMENT "Compiling the ${name} translation")
  list(APPEND pelu_qm_files ${qm})
endforeach()

if(pelu_qm_files)
  qt_add_resources(pelu_app pelu_translations
    PREFIX /i18n
    BASE ${CMAKE_BINARY_DIR}/i18n
    FILES ${pelu_qm_files})
endif()
