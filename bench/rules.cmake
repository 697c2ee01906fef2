zeph_bench(rules SOURCES ${CMAKE_CURRENT_LIST_DIR}/rules_bench.cpp LIBS zeph_rules)
