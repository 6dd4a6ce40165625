// FormDesign.cpp - the two windows' controls as designed, and the version text.
#include "FormDesign.h"

namespace forms {

namespace {

const std::array<ControlDesign, 6> kMainDesign{{
    {"lstResult", 30, 600, 4305, 1680, "", "ここに圧縮したいファイルをドロップして下さい"},
    {"txtExtension", 690, 30, 705, 285, "", "ここに指定した拡張子でファイルを作成します(内部圧縮形式はZip)"},
    {"chkDelete", 1560, 30, 1515, 270, "元ファイルを削除", "圧縮成功後、圧縮元ファイルを削除します"},
    {"chkEachFile", 1560, 300, 2745, 270, "フォルダ配下のファイルも個別圧縮",
     "OFFの場合、ドロップしたフォルダ配下のファイルを1ファイルに圧縮します"},
    {"cmdAbout", 3690, 15, 645, 255, "About", ""},
    {"lblCaption0", 90, 90, 540, 180, "拡張子", ""},
}};

const std::array<ControlDesign, 4> kAboutDesign{{
    {"lblCaption0", 90, 120, 1320, 180, "Pakuto- Ver.0.0.1", ""},
    {"lblCaption1", 180, 330, 1650, 180, "ファイルを個別圧縮する", ""},
    {"lblCaption2", 180, 540, 435, 180, "ツール", ""},
    {"lblCaption3", 90, 870, 1920, 180, "(C) 2004-2005 Pakuto", ""},
}};

}  // namespace

const std::array<ControlDesign, 6>& MainDesign() {
    return kMainDesign;
}

const std::array<ControlDesign, 4>& AboutDesign() {
    return kAboutDesign;
}

std::string VersionText(int major, int minor, int patch) {
    return "Pakuto Ver." + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

}  // namespace forms
