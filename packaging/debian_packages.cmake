# The two Debian packages: one component each, their runtime dependencies found by
# dpkg-shlibdeps from what each program links.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL desktop gateway)
set(CPACK_PACKAGE_VENDOR "The QRT service tool authors")
set(CPACK_PACKAGE_CONTACT "The QRT service tool authors <qrt-tools@example.invalid>")
set(CPACK_PACKAGE_VERSION ${QRT_RELEASE_VERSION})
# Each package's description begins with its own summary line.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES TRUE)
# The gateway left the desktop package in revision 2.
set(CPACK_DEBIAN_PACKAGE_RELEASE 2)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME ${QRT_DESKTOP_PACKAGE})
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "qt6-qpa-plugins")  # the desktop platform plugins
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SUGGESTS ${QRT_GATEWAY_PACKAGE})
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "service tool for a radio telemetry installation
Technicians and firmware engineers use qrt-tester to service battery-powered
transponder modules, their receiver, the inductive programming head and the
interface box: it decodes every telegram and reply, sends configuration and
service commands, calibrates temperature offsets, updates module firmware and
reads a logging module's archive into a CSV file. qrt-monitor decodes captures
and live ports without a window; qrt-cli runs every task from the command line;
qrt-sim simulates the devices on pseudo-terminals. The gateway to an MQTT
broker is the package qrt-gateway. MIT licence.")

set(CPACK_DEBIAN_GATEWAY_PACKAGE_NAME ${QRT_GATEWAY_PACKAGE})
# Until revision 2 the desktop package held the gateway: its files move here.
set(CPACK_DEBIAN_GATEWAY_PACKAGE_BREAKS "${QRT_DESKTOP_PACKAGE} (<< 1.0.0-2)")
set(CPACK_DEBIAN_GATEWAY_PACKAGE_REPLACES "${QRT_DESKTOP_PACKAGE} (<< 1.0.0-2)")
set(CPACK_DEBIAN_GATEWAY_DESCRIPTION
    "radio telemetry installation's values on an MQTT broker
qrt-gateway listens to the receiver of a radio telemetry installation (or its
interface box) on a serial port, decodes every telegram, keeps each value in a
queue on disk until the broker has it, and publishes it, optionally announced
to Home Assistant; it sends nothing to the modules. It runs as a hardened
systemd service (installed, not enabled) with its settings in
/etc/qrt-gateway.conf, and needs no desktop libraries. MIT licence.")
# The settings are the administrator's: an upgrade keeps their changes. The maintainer
# scripts tell systemd of the unit, restart a running gateway on an upgrade and stop it
# on removal.
set(gateway_control ${CMAKE_BINARY_DIR}/gateway-control)
file(WRITE ${gateway_control}/conffiles "${CMAKE_INSTALL_FULL_SYSCONFDIR}/qrt-gateway.conf\n")
set(CPACK_DEBIAN_GATEWAY_PACKAGE_CONTROL_EXTRA
    ${gateway_control}/conffiles ${PROJECT_SOURCE_DIR}/packaging/qrt-gateway-scripts/postinst
    ${PROJECT_SOURCE_DIR}/packaging/qrt-gateway-scripts/prerm
    ${PROJECT_SOURCE_DIR}/packaging/qrt-gateway-scripts/postrm)
include(CPack)
