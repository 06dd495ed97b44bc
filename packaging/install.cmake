# What is installed, and the Debian package built from it (cpack -G DEB).
set(QRT_PACKAGE_NAME qrt-service-tool)
set(CMAKE_INSTALL_DOCDIR share/doc/${QRT_PACKAGE_NAME})
include(GNUInstallDirs)

install(TARGETS qrt-tester qrt-monitor qrt-cli qrt-sim qrt-gateway
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The gateway as a system service, installed but not enabled, and its commented settings.
install(FILES packaging/qrt-gateway.service DESTINATION lib/systemd/system)
install(FILES packaging/qrt-gateway.conf DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR})
install(FILES packaging/qrt-tester.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/qrt-tester.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md docs/robustness.md LICENSE packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Compressed as Debian wants them: gzip -9n, no time stamp.
set(changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
                   COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian > ${changelog}
                   DEPENDS packaging/changelog.Debian)
set(compressed_docs ${changelog})

# Manual pages from each program's --help (Debian's help2man).
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
        add_custom_command(OUTPUT ${page}
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                           COMMAND ${HELP2MAN} --no-info --no-discard-stderr
                                   --version-string=${PROJECT_VERSION}
                                   --name=${${summary_variable}}
                                   --output=${CMAKE_BINARY_DIR}/man/${program}.1
                                   $<TARGET_FILE:${program}>
                           COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${program}.1
                           DEPENDS ${program} VERBATIM)
        install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
        list(APPEND compressed_docs ${page})
    endforeach()
else()
    message(STATUS "help2man not found: no manual pages")
endif()
add_custom_target(qrt_docs ALL DEPENDS ${compressed_docs})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME ${QRT_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "The QRT service tool authors")
set(CPACK_PACKAGE_CONTACT "The QRT service tool authors <qrt-tools@example.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for a radio telemetry installation")
set(CPACK_PACKAGE_DESCRIPTION
    "Technicians and firmware engineers use qrt-tester to service battery-powered
transponder modules, their receiver, the inductive programming head and the
interface box: it decodes every telegram and reply, sends configuration and
service commands, calibrates temperature offsets, updates module firmware and
reads a logging module's archive into a CSV file. qrt-monitor decodes captures
and live ports without a window; qrt-cli runs every task from the command line;
qrt-gateway publishes the installation's values on an MQTT broker as a system
service (installed, not enabled); qrt-sim simulates the devices on
pseudo-terminals. MIT licence.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")  # the desktop platform plugins
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The gateway's settings are the administrator's: an upgrade keeps their changes.
file(WRITE ${CMAKE_BINARY_DIR}/conffiles "${CMAKE_INSTALL_FULL_SYSCONFDIR}/qrt-gateway.conf\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/conffiles)
include(CPack)
