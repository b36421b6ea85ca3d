# What a user installs, and the CPack packages that carry it (`make dist`):
# the Windows trees each put their VST 2 DLL in a folder named for the hosts it
# serves and their VST 3 binary into the bundle (the 64-bit one its CLAP
# plug-in in CLAP/), and the Makefile packs both
# trees, with the Linux tree's binary of the bundle, into one zip; the Linux
# tree makes a Debian package with both plug-ins where Linux hosts look and the
# offline limiter on the PATH. The version is the project's.
set(QUILLO_PACKAGE_CONTACT "Vrn-Quillo Limiter maintainers <maintainers@invalid>" CACHE STRING
    "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME "vrn-quillo-limiter")
set(CPACK_PACKAGE_VENDOR "Kzo")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${QUILLO_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo brickwall peak limiter: VST 2, VST 3, LV2 and CLAP plug-ins and offline tool")
set(vst3_binaries "Vrn-Quillo_Limiter.vst3/Contents/${QUILLO_VST3_ARCHITECTURE}")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(hosts_folder "64-bit")
    else()
        set(hosts_folder "32-bit")
    endif()
    install(TARGETS quillo_module LIBRARY DESTINATION "${hosts_folder}" RUNTIME DESTINATION "${hosts_folder}")
    install(TARGETS quillo_vst3 LIBRARY DESTINATION "${vst3_binaries}" RUNTIME DESTINATION "${vst3_binaries}")
    if(TARGET quillo_clap)
        install(TARGETS quillo_clap LIBRARY DESTINATION CLAP RUNTIME DESTINATION CLAP)
    endif()
    install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "Vrn-Quillo_Limiter-${PROJECT_VERSION}-windows")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    install(TARGETS quillo_module LIBRARY DESTINATION lib/vst)
    install(TARGETS quillo_vst3 LIBRARY DESTINATION "lib/vst3/${vst3_binaries}")
    install(TARGETS quillo_clap LIBRARY DESTINATION lib/clap)
    # The bundle's Linux binary for the zip, which the Makefile asks for by name.
    install(TARGETS quillo_vst3 LIBRARY DESTINATION "${vst3_binaries}" COMPONENT vst3_bundle EXCLUDE_FROM_ALL)
    if(TARGET quillo_lv2)
        # The LV2 bundle as it is in the build tree: the folder LV2 hosts scan.
        install(TARGETS quillo_lv2 quillo_lv2_ui LIBRARY DESTINATION ${QUILLO_LV2_INSTALL_DIR})
        install(FILES ${QUILLO_LV2_TTL} DESTINATION ${QUILLO_LV2_INSTALL_DIR})
    endif()
    if(TARGET quillo-limit)
        install(TARGETS quillo-limit RUNTIME DESTINATION bin)
    endif()
    install(FILES LICENSE DESTINATION share/doc/${CPACK_PACKAGE_NAME} RENAME copyright)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    # Depends from the libraries the binaries actually link (libsndfile,
    # libebur128, Xlib for the LV2 UI, the C and C++ runtimes), through
    # dpkg-shlibdeps.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_PACKAGE_DESCRIPTION [=[
Keeps every sample of a stereo signal within 0 dBFS: a soft gain stage
shaped by knee and release settings does the gradual work, a look-ahead
brickwall stage guarantees the ceiling. The package holds the VST 2
plug-in for Linux hosts (in /usr/lib/vst), the same limiter as a VST 3
plug-in (the bundle in /usr/lib/vst3), as an LV2 bundle with its editor
as an LV2 UI and its programs as presets (in /usr/lib/lv2) and as a CLAP
plug-in (in /usr/lib/clap), and
quillo-limit, which limits audio files through the same plug-in and
reports peaks, loudness and gain reduction.]=])
endif()

include(CPack)
