zeph_bench(registry SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_bench.cpp LIBS zeph_platform)
