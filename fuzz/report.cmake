zeph_fuzzer(report_record SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_record_fuzz.cpp LIBS zeph_report)
zeph_fuzzer(reply_envelope SOURCES ${CMAKE_CURRENT_LIST_DIR}/reply_envelope_fuzz.cpp LIBS zeph_report)
