# The handheld's link of muntara.exe: its own start-up, the handheld's two system libraries, and
# nothing of a desktop (no C runtime, no desktop library). The import libraries are made from the
# handheld's API list and what the system's objects call, which fails on a call the handheld
# lacks; the linked program is then checked to import nothing else, and its code for the
# handheld's calling convention and processor.
set(handheld_api ${PROJECT_SOURCE_DIR}/platform/handheld-api.txt)
set(handheld_imports ${HANDHELD_IMPORTS_DIR})
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name OUTPUT_VARIABLE libgcc
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(system_objects
    $<TARGET_FILE:platform> $<TARGET_FILE:driver> $<TARGET_FILE:settings> $<TARGET_FILE:ui>
    $<TARGET_FILE:framework> $<TARGET_OBJECTS:program> $<TARGET_OBJECTS:handheld_start>)
add_custom_command(
  OUTPUT ${handheld_imports}/libCOREDLL.a ${handheld_imports}/libCOMMCTRL.a
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-imports.sh ${handheld_api} ${CMAKE_NM}
          ${CMAKE_DLLTOOL} ${libgcc} ${handheld_imports} ${system_objects}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/handheld-imports.sh ${handheld_api} platform driver settings
          ui framework program handheld_start $<TARGET_OBJECTS:program>
          $<TARGET_OBJECTS:handheld_start>
  COMMENT "Checking the handheld's calls and making its import libraries"
  COMMAND_EXPAND_LISTS VERBATIM)
add_custom_target(handheld_import_libraries
                  DEPENDS ${handheld_imports}/libCOREDLL.a ${handheld_imports}/libCOMMCTRL.a)
add_dependencies(muntara handheld_import_libraries)

target_sources(muntara PRIVATE $<TARGET_OBJECTS:handheld_start>)
# The handheld passes the entry the arguments of wWinMain, and runs programs of its own subsystem.
target_link_options(muntara PRIVATE -nostdlib -Wl,-e,_HandheldEntry
                    -Wl,--subsystem,wince:${HANDHELD_SYSTEM_MAJOR}.${HANDHELD_SYSTEM_MINOR}
                    -Wl,--major-os-version,${HANDHELD_SYSTEM_MAJOR}
                    -Wl,--minor-os-version,${HANDHELD_SYSTEM_MINOR})
# After the link: the program imports only what the handheld exports, and holds no function that
# removes its own arguments but the program's members, nor an instruction newer than the
# handheld's processor. The checks run again when they change.
set_property(
  TARGET muntara APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/handheld-program-check.sh
                                             ${PROJECT_SOURCE_DIR}/cmake/handheld-code-check.sh)
add_custom_command(
  TARGET muntara POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-program-check.sh ${handheld_api} ${CMAKE_OBJDUMP}
          $<TARGET_FILE:muntara>
  VERBATIM)
add_custom_command(
  TARGET muntara POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-code-check.sh ${HANDHELD_PROCESSOR} ${CMAKE_OBJDUMP}
          ${CMAKE_BINARY_DIR} $<TARGET_FILE:muntara> ${CMAKE_BINARY_DIR}/muntara.map
          ${system_objects}
  COMMAND_EXPAND_LISTS VERBATIM)
