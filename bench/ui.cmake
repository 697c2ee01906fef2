include(ZephResources)
zeph_bench(ui SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_bench.cpp LIBS zeph_ui)
zeph_embed_resources(bench_ui DIR ${PROJECT_SOURCE_DIR}/resources/ui)
target_compile_definitions(bench_ui PRIVATE ZEPH_SAMPLE_DIR="${PROJECT_SOURCE_DIR}/tests/data/ui/sample")
