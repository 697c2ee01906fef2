zeph_fuzzer(reg_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/reg_text_fuzz.cpp LIBS zeph_platform)
zeph_fuzzer(win_path SOURCES ${CMAKE_CURRENT_LIST_DIR}/win_path_fuzz.cpp LIBS zeph_platform)
