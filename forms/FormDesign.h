// FormDesign.h - the two windows as designed, whatever toolkit draws them: controls with their
// positions and sizes in twips, captions and tool tips, client sizes, the window's place on the
// screen, and the fixed texts the windows show. Texts are UTF-8.
#pragma once

#include <array>
#include <string>

namespace forms {

// 1440 twips make one inch.
inline constexpr int kTwipsPerInch = 1440;

// One control of a window as designed: position and size in twips, caption, tool tip ("" for none).
struct ControlDesign {
    const char* name;
    int left, top, width, height;
    const char* caption;
    const char* toolTip;
};

// frmMain's controls in tab order (lstResult, txtExtension, chkDelete, chkEachFile, cmdAbout), then
// lblCaption(0), which takes no focus.
enum MainControl { kResultList, kExtensionBox, kDeleteBox, kEachFileBox, kAboutButton, kExtensionLabel };
const std::array<ControlDesign, 6>& MainDesign();

// frmAbout's four labels, lblCaption(0) to (3); element 0's caption is replaced by the version text.
const std::array<ControlDesign, 4>& AboutDesign();

// Client areas and the main window's place on the screen, in twips.
inline constexpr int kMainClientWidthTwips = 4365;
inline constexpr int kMainClientHeightTwips = 2310;
inline constexpr int kAboutClientWidthTwips = 2160;
inline constexpr int kAboutClientHeightTwips = 1170;
inline constexpr int kMainLeftTwips = 500;
inline constexpr int kMainTopTwips = 500;

// The windows' font as designed.
inline constexpr const char* kFontFamily = "MS UI Gothic";
inline constexpr int kFontPoints = 9;

// Fixed texts.
inline constexpr const char* kBusySuffix = " [処理中]";  // caption while a drop is dispatched
inline constexpr const char* kDoneSuffix = " [完了]";    // caption once it is done
inline constexpr const char* kAboutTitle = "Pakuto-について";
inline constexpr const char* kLibraryMissingTitle = "Pakuto-";
inline constexpr const char* kLibraryMissingText = "7-Zip32.dllが見つかりません";

// "Pakuto Ver." + major.minor.patch: the main window's caption and the About box's element 0.
std::string VersionText(int major, int minor, int patch);

}  // namespace forms
