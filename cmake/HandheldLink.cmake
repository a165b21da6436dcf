# How a program built for the handheld is linked, for the handheld program and for the
# personality's probe alike.

# The handheld's API: COREDLL.dll's exports by system version 4.20 with the components an image
# must include for each, and the rest (COMMCTRL.dll's exports, the names its headers define inline).
set(HANDHELD_COREDLL_API ${PROJECT_SOURCE_DIR}/platform/coredll-exports.txt)
set(HANDHELD_API ${PROJECT_SOURCE_DIR}/platform/handheld-api.txt)
# The compiler's own helpers (64-bit division, the stack probe) the program may call.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE HANDHELD_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

# handheld_import_libraries(TARGET DIR OBJECTS... [DEPENDS targets...]): before TARGET links,
# checks what OBJECTS call against the handheld's API lists (failing, naming each, on a call the
# handheld lacks) and makes DIR/libCOREDLL.a and DIR/libCOMMCTRL.a of what they call.
function(handheld_import_libraries target dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "OBJECTS;DEPENDS")
  add_custom_command(
    OUTPUT ${dir}/libCOREDLL.a ${dir}/libCOMMCTRL.a
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/handheld-imports.sh ${HANDHELD_COREDLL_API} ${HANDHELD_API}
            ${CMAKE_NM} ${CMAKE_DLLTOOL} ${HANDHELD_LIBGCC} ${dir} ${arg_OBJECTS}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/handheld-imports.sh ${HANDHELD_COREDLL_API} ${HANDHELD_API}
            ${arg_DEPENDS} ${arg_OBJECTS}
    COMMENT "Checking ${target}'s calls against the handheld's and making its import libraries"
    COMMAND_EXPAND_LISTS VERBATIM)
  add_custom_target(${target}_import_libraries DEPENDS ${dir}/libCOREDLL.a ${dir}/libCOMMCTRL.a)
  add_dependencies(${target} ${target}_import_libraries)
endfunction()

# handheld_entry(TARGET ENTRY): no C runtime; the handheld calls ENTRY with the arguments of
# wWinMain, and runs programs of its own subsystem and version, with at most 1 MB of stack for a
# thread (the linker's own default is 2 MB). No time of the link in the headers: one commit links
# the same bytes.
function(handheld_entry target entry)
  target_link_options(${target} PRIVATE -nostdlib -Wl,-e,_${entry} -Wl,--stack,0x100000
                      -Wl,--no-insert-timestamp
                      -Wl,--subsystem,wince:${HANDHELD_SYSTEM_MAJOR}.${HANDHELD_SYSTEM_MINOR}
                      -Wl,--major-os-version,${HANDHELD_SYSTEM_MAJOR}
                      -Wl,--minor-os-version,${HANDHELD_SYSTEM_MINOR})
endfunction()
