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
# After the link: the program imports only what the handheld exports, and holds no function that
# removes its own arguments but the program's members, nor an instruction newer than the
# handheld's processor. The checks run again when they change.
set_property(
  TARGET muntara APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/handheld-program-check.sh
                                             ${PROJECT_SOURCE_DIR}/cmake/program-imports.sh
                                             ${PROJECT_SOURCE_DIR}/cmake/handheld-code-check.sh)
add_custom_command(
  TARGET muntara POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-program-check.sh ${HANDHELD_API} ${CMAKE_OBJDUMP}
          $<TARGET_FILE:muntara>
  VERBATIM)
add_custom_command(
  TARGET muntara POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-code-check.sh ${HANDHELD_PROCESSOR} ${CMAKE_OBJDUMP}
          ${CMAKE_BINARY_DIR} $<TARGET_FILE:muntara> ${CMAKE_BINARY_DIR}/muntara.map
          ${system_objects}
  COMMAND_EXPAND_LISTS VERBATIM)
