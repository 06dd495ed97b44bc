# What is installed, and the two Debian packages built from it (cpack -G DEB): the
# desktop tool with its command-line companions, and the gateway alone, so that a box
# beside the receiver installs no desktop libraries.
include(GNUInstallDirs)
set(QRT_DESKTOP_PACKAGE qrt-service-tool)
set(QRT_GATEWAY_PACKAGE qrt-gateway)

install(TARGETS qrt-tester qrt-monitor qrt-cli qrt-sim
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
install(FILES packaging/qrt-tester.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT desktop)
install(FILES packaging/qrt-tester.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)

# The dissector, where Wireshark and tshark look for plugins of every user.
install(FILES ${QRT_DISSECTOR} DESTINATION ${CMAKE_INSTALL_LIBDIR}/wireshark/plugins
        COMPONENT desktop)

install(TARGETS qrt-gateway RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gateway)
# The gateway as a system service, installed but not enabled, and its commented settings.
install(FILES packaging/qrt-gateway.service DESTINATION lib/systemd/system COMPONENT gateway)
install(FILES packaging/qrt-gateway.conf DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}
        COMPONENT gateway)

# Compressed as Debian wants them: gzip -9n, no time stamp.
set(changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
                   COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian > ${changelog}
                   DEPENDS packaging/changelog.Debian)
set(compressed_docs ${changelog})
# Each package's own copy of the documents, the licence and the changelog.
foreach(component desktop gateway)
    string(TOUPPER ${component} upper)
    install(FILES README.md docs/robustness.md LICENSE packaging/copyright ${changelog}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${QRT_${upper}_PACKAGE}
            COMPONENT ${component})
endforeach()

# Manual pages from each program's --help (Debian's help2man), with the sections of
# packaging/PROGRAM.h2m where there is one.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(qrt_tester_summary "service tool of a radio telemetry installation")
    set(qrt_monitor_summary "decode the telemetry receiver's traffic without a window")
    set(qrt_sim_summary "simulated telemetry devices on pseudo-terminals")
    set(qrt_cli_summary "the telemetry service tool's tasks from the command line")
    set(qrt_gateway_summary "the telemetry installation's values on an MQTT broker")
    foreach(program qrt-tester qrt-monitor qrt-cli qrt-sim qrt-gateway)
        string(REPLACE "-" "_" summary_variable "${program}_summary")
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
        set(sections ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m)
        set(include_sections)
        set(section_files)
        if(EXISTS ${sections})
            set(include_sections --include=${sections})
            set(section_files ${sections})
        endif()
        add_custom_command(OUTPUT ${page}
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                           COMMAND ${HELP2MAN} --no-info --no-discard-stderr
                                   --version-string=${QRT_RELEASE_VERSION}
                                   --name=${${summary_variable}} ${include_sections}
                                   --output=${CMAKE_BINARY_DIR}/man/${program}.1
                                   $<TARGET_FILE:${program}>
                           COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${program}.1
                           DEPENDS ${program} ${section_files} VERBATIM)
        if(program STREQUAL "qrt-gateway")
            set(component gateway)
        else()
            set(component desktop)
        endif()
        install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
        list(APPEND compressed_docs ${page})
    endforeach()
else()
    message(STATUS "help2man not found: no manual pages")
endif()
add_custom_target(qrt_docs ALL DEPENDS ${compressed_docs})

include(packaging/debian_packages.cmake)
