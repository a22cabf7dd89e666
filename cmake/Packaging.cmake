# The Debian package: `cpack -G DEB` in a build folder makes quillet_<version>_<arch>.deb from the
# install rules, installed under /usr, with the dependencies dpkg-shlibdeps finds in the binaries.
set(QUILLET_PACKAGE_MAINTAINER "The Quillet developers <developers@quillet.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VERSION ${QUILLET_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLET_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLET_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its display plugins at run time, so no library dependency names them; Debian only
# recommends them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# People Nearby finds others through the desktop's discovery daemon; without it the rest works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "talk by typing with people on your network
Quillet is a desktop program for conversations typed between two people on a
network. There is no server and no account: every copy answers calls on TCP
port 2323 and calls other copies directly at their address.

Either side can switch the chat style at any time: Realtime (every key
reaches the other side as it is typed), IM (whole lines, with a typing
notice) and IM with preview (whole lines, watched as they are typed).
Quillet lives in the system tray and keeps a phonebook of the people you
call; every conversation is a tab of one chat window.")
include(CPack)
