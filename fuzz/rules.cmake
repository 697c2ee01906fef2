zeph_fuzzer(config_body SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_body_fuzz.cpp LIBS zeph_rules)
zeph_fuzzer(partner_offer SOURCES ${CMAKE_CURRENT_LIST_DIR}/partner_offer_fuzz.cpp LIBS zeph_rules)
zeph_fuzzer(check_condition SOURCES ${CMAKE_CURRENT_LIST_DIR}/check_condition_fuzz.cpp LIBS zeph_rules)
