zeph_bench(json SOURCES ${CMAKE_CURRENT_LIST_DIR}/json_bench.cpp LIBS zeph_base)
