#pragma once
// Command ids of the analysis frame: its menu, its tool bar and the controls
// the page tool bar puts on it.

namespace bc {

enum UnwrapFrameCommand : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_OPEN_JPG = 32784,
    ID_EXPORT_CURRENT_PAGE = 32780,
    ID_EXPORT_ALL_PAGES = 32786,
    ID_REPORT = 32820,
    ID_STITCH_SETTINGS = 32785,
    ID_TEST_PARAMS = 32807,
    ID_AUTO_ALIGN = 32789,
    ID_CYLINDER = 32772,
    ID_SHOW_SHAPE_LIST = 32795,
    ID_ZOOM_IN = 32793,
    ID_ZOOM_OUT = 32794,
    ID_DRAW_SHAPE = 32809,
    ID_FIRST_PAGE = 32796,
    ID_PREV_PAGE = 32797,
    ID_PAGE_BOX = 32798,
    ID_NEXT_PAGE = 32799,
    ID_LAST_PAGE = 32800,
    ID_LINE_STYLE = 32801,
    ID_LINE_WIDTH = 32802,
    ID_LINE_COLOR = 32803,
    ID_SHAPE_TYPE = 32804,
    ID_SHAPE_BAR = 32791,
};

} // namespace bc
