# The handheld's link of muntara.exe: its own start-up, the handheld's two system libraries, and
# nothing of a desktop (no C runtime, no desktop library). The import libraries are made from the
# handheld's API list and what the system's objects call, which fails on a call the handheld
# lacks; the linked program is then checked to import nothing else, and its code for the
# handheld's calling convention and processor.
set(system_objects
    $<TARGET_FILE:platform> $<TARGET_FILE:driver> $<TARGET_FILE:settings> $<TARGET_FILE:ui>
    $<TARGET_FILE:framework> $<TARGET_OBJECTS:program> $<TARGET_OBJECTS:handheld_start>)
handheld_import_libraries(muntara ${HANDHELD_IMPORTS_DIR} OBJECTS ${system_objects}
                          DEPENDS platform driver settings ui framework program handheld_start)
target_sources(muntara PRIVATE $<TARGET_OBJECTS:handheld_start>)
handheld_entry(muntara HandheldEntry)
# The system components the program asks of the handheld's image (README, "The handheld build"):
# none it can do without. Either font component will do for CreateFontIndirectW, and any of the
# locale components for _wcsicmp.
set(HANDHELD_COMPONENTS
    CE_MODULES_FILESYS CE_MODULES_GWES GWES_WMBASE GWES_MSGQUE GWES_DLGMGR GWES_FOREGND GWES_TIMER
    GWES_ICON GWES_KBDUI GWES_MGBASE GWES_MGTT GWES_MGRAST GWES_GDIFONTS GWES_PGDI
    COREDLL_COREMAIN COREDLL_LMEM COREDLL_CORELOC COREDLL_LOCUSA COREDLL_LOCMINI)
string(REPLACE ";" "," handheld_components "${HANDHELD_COMPONENTS}")
# After the link: the program imports only what the handheld exports, from no component but
# those, and holds no function that
# removes its own arguments but the program's members, nor an instruction newer than the
# handheld's processor. The checks run again when they change.
set_property(
  TARGET muntara APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/handheld-program-check.sh
                                             ${HANDHELD_COREDLL_API}
                                             ${PROJECT_SOURCE_DIR}/cmake/program-imports.sh
                                             ${PROJECT_SOURCE_DIR}/cmake/handheld-code-check.sh)
add_custom_command(
  TARGET muntara POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-program-check.sh ${HANDHELD_COREDLL_API}
          ${HANDHELD_API} ${handheld_components} ${CMAKE_OBJDUMP} $<TARGET_FILE:muntara>
  VERBATIM)
add_custom_command(
  TARGET muntara POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-code-check.sh ${HANDHELD_PROCESSOR} ${CMAKE_OBJDUMP}
          ${CMAKE_BINARY_DIR} $<TARGET_FILE:muntara> ${CMAKE_BINARY_DIR}/muntara.map
          ${system_objects}
  COMMAND_EXPAND_LISTS VERBATIM)
