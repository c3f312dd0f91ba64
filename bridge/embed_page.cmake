# Writes OUTPUT, a C++ unit defining kelo::bridge::kStatusPage with the text of INPUT.
#   cmake -DINPUT=web/index.html -DOUTPUT=web_page_data.cc -P embed_page.cmake
file(READ ${INPUT} page)
string(FIND "${page}" ")kelo_page\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string end marker )kelo_page\"")
endif()
file(WRITE ${OUTPUT}.tmp
  "// Generated from bridge/web/index.html by bridge/embed_page.cmake; do not edit.\n"
  "#include \"bridge/web_page.h\"\n\n"
  "namespace kelo::bridge {\n"
  "const std::string_view kStatusPage = R\"kelo_page(${page})kelo_page\";\n"
  "}\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
