include(ZephResources)
zeph_fuzzer(ui_markup SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_markup_fuzz.cpp LIBS zeph_ui)
# A few small pictures, so that skins in the input have something to draw.
zeph_embed_resources(fuzz_ui_markup DIR ${PROJECT_SOURCE_DIR}/tests/data/ui/res)
