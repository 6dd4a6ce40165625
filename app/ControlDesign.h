// ControlDesign.h - one control of a window as designed: position and size in twips, caption, tool tip.
#pragma once

struct ControlDesign {
    const char* name;
    int left, top, width, height;
    const char* caption;
    const char* toolTip;
};
