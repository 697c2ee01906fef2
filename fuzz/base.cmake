zeph_fuzzer(json SOURCES ${CMAKE_CURRENT_LIST_DIR}/json_fuzz.cpp LIBS zeph_base)
