# Windows half of the toolkit: windows, painting, drop-downs.
kavrel_library(kavrel_ui
  SOURCES window_wnd.cpp paint_manager.cpp
  LIBS kavrel_ui_core)
target_link_libraries(kavrel_ui PUBLIC gdiplus gdi32 user32 ole32 oleaut32 uuid comctl32 msimg32)

kavrel_test(kavrel_ui_win_test
  SOURCES ui_win_test.cpp
  LIBS kavrel_ui
  WIN_ONLY)
