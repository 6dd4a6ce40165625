/* ControlIds.h - the identifiers of Pakuto.exe's windows and resources: the main window's class, the
   control IDs of frmMain and frmAbout (GetDlgItem on the window finds each control), and the icon.
   Plain #defines, since the resource compiler reads this file too, and so may any program that drives
   the window from outside. */
#pragma once

/* frmMain's window class; its caption is the version text. */
#define PAKUTO_MAIN_CLASS L"PakutoMainWindow"

/* frmMain's controls, in tab order, then lblCaption(0). Window classes: LISTBOX, EDIT, BUTTON (the two
   check boxes and the About button), STATIC. */
#define PAKUTO_ID_RESULT_LIST 1001     /* lstResult */
#define PAKUTO_ID_EXTENSION_BOX 1002   /* txtExtension */
#define PAKUTO_ID_DELETE_BOX 1003      /* chkDelete */
#define PAKUTO_ID_EACH_FILE_BOX 1004   /* chkEachFile */
#define PAKUTO_ID_ABOUT_BUTTON 1005    /* cmdAbout */
#define PAKUTO_ID_EXTENSION_LABEL 1006 /* lblCaption(0) */

/* frmAbout's labels lblCaption(0) to (3) are PAKUTO_ID_ABOUT_LABEL0 + element; element 0 holds the
   version text. The box is a dialog (class #32770) owned by frmMain, captioned "Pakuto-について". */
#define PAKUTO_ID_ABOUT_LABEL0 1101

/* The window icon (32x32, 16 colours). */
#define PAKUTO_ICON 1
