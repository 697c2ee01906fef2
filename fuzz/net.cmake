zeph_fuzzer(soft_detail SOURCES ${CMAKE_CURRENT_LIST_DIR}/soft_detail_fuzz.cpp LIBS zeph_net)
zeph_fuzzer(head_reply SOURCES ${CMAKE_CURRENT_LIST_DIR}/head_reply_fuzz.cpp LIBS zeph_net)
