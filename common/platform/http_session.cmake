# The HTTP session seam: WinINet on Windows, libcurl on Linux, a table-driven
# fake for tests, and the in-memory cookie store behind the Linux seam.
target_sources(kavrel_platform PRIVATE http_session.cpp cookie_jar.cpp fake_http.cpp)
if(KAVREL_WINDOWS)
  target_sources(kavrel_platform PRIVATE win32/http_session_win.cpp)
  target_link_libraries(kavrel_platform PUBLIC wininet)
else()
  find_package(CURL REQUIRED)
  target_sources(kavrel_platform PRIVATE posix/http_session_posix.cpp)
  target_link_libraries(kavrel_platform PUBLIC CURL::libcurl)
endif()

# The real seam against a server in the test process, natively and under Wine.
find_package(Threads REQUIRED)
kavrel_test(kavrel_http_session_test
  SOURCES http_session_test.cpp http_test_server.cpp cookie_jar_test.cpp
  LIBS kavrel_platform Threads::Threads)
if(KAVREL_WINDOWS AND TARGET kavrel_http_session_test)
  target_link_libraries(kavrel_http_session_test PRIVATE ws2_32)
endif()
