# What the Windows installer holds (CPack NSIS, `makensis` from Debian's nsis): the program and
# its converter side by side in bin\ (the program finds the converter beside itself), the Qt,
# MinGW and third-party DLLs they load, and Qt's plugins in the folders Qt looks in beside the
# program. (cd build-windows && cpack -G NSIS)
get_filename_component(qt_prefix ${Qt6_DIR}/../../.. ABSOLUTE)
foreach(module Core Gui Widgets Network)
    install(FILES ${qt_prefix}/bin/Qt6${module}.dll DESTINATION bin)
endforeach()
foreach(plugin platforms/qwindows styles/qwindowsvistastyle imageformats/qjpeg
               imageformats/qgif imageformats/qico tls/qschannelbackend)
    get_filename_component(folder ${plugin} DIRECTORY)
    install(FILES ${qt_prefix}/plugins/${plugin}.dll DESTINATION bin/${folder})
endforeach()
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    install(FILES ${path} DESTINATION bin)
endforeach()
if(TESSARON_WINDOWS_DEPS)
    file(GLOB third_party_dlls ${TESSARON_WINDOWS_DEPS}/bin/*.dll)
    install(FILES ${third_party_dlls} DESTINATION bin)
endif()

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tessaron)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tessaron)
set(CPACK_NSIS_DISPLAY_NAME Tessaron)
set(CPACK_NSIS_PACKAGE_NAME Tessaron)
set(CPACK_NSIS_MODIFY_PATH OFF)
# A 64-bit installer: a 32-bit one needs the 32-bit half of Wine, which Debian's wine64 lacks.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# 64-bit program: under Program Files, not Program Files (x86).
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
if(TARGET tessaron)
    set(CPACK_PACKAGE_EXECUTABLES tessaron Tessaron)
    set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\tessaron.exe")
endif()
