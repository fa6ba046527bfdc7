# Installs the build into a fresh folder and checks what menus, docks and `man` find there:
# the menu entry under the program's D-Bus name with its earlier name as a link, actions that
# name options the program takes, and the manual page when help2man made one.
# cmake -DBUILD_DIR=... -DWITH_MANUAL=ON|OFF -P CheckInstall.cmake
set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cmake --install failed")
endif()

set(apps ${prefix}/share/applications)
file(READ_SYMLINK ${apps}/tessaron.desktop target)
if(NOT target STREQUAL "example.halvik.Tessaron.desktop")
    message(FATAL_ERROR "tessaron.desktop links to '${target}'")
endif()

# Every action's command is understood: with no copy running on the bus it says so (status 1),
# where an unknown option would give the usage (status 2).
file(STRINGS ${apps}/example.halvik.Tessaron.desktop actions REGEX "^Exec=tessaron --")
list(LENGTH actions count)
if(NOT count EQUAL 4)
    message(FATAL_ERROR "expected four actions, found: ${actions}")
endif()
foreach(action IN LISTS actions)
    string(REGEX REPLACE "^Exec=tessaron " "" option "${action}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
                            ${prefix}/bin/tessaron ${option}
                    RESULT_VARIABLE status ERROR_VARIABLE error)
    if(NOT status EQUAL 1 OR NOT error STREQUAL "Tessaron is not running\n")
        message(FATAL_ERROR "tessaron ${option}: status ${status}, ${error}")
    endif()
endforeach()

if(WITH_MANUAL)
    file(READ ${prefix}/share/man/man1/tessaron.1 manual)
    if(NOT manual MATCHES "toggle.*pause" OR NOT manual MATCHES "never.*again" OR
       NOT manual MATCHES "\\.SH OPTIONS")
        message(FATAL_ERROR "the manual page lacks the options")
    endif()
endif()
file(REMOVE_RECURSE ${prefix})
