# File downloads against the curl tool (needs `curl` on the PATH); the
# loopback server comes from the test support, built in here because the
# benchmark build has no tests.
zeph_pkg(cpp-httplib)
zeph_bench(net
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_bench.cpp
          ${PROJECT_SOURCE_DIR}/tests/support/loopback_server.cpp
  LIBS zeph_net ${ZEPH_PKG_TARGET})
