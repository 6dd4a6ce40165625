// frmMain.h - the main window: its controls, the library check at load, the settings written at unload,
// the About button, and the window's side of the drop dispatch and the compression jobs (DropWindow).
//
// The controls are public members, named as the design names them, so that start-up, the drop dispatch
// and tests reach them directly. Geometry is designed in twips and converted with the screen's DPI.
#pragma once

#include <QWidget>
#include <array>
#include <string>

#include "DropDispatch.h"
#include "FormDesign.h"
#include "mSevenZip32APIs.h"

class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class ResultList;

// Check box states as stored: 0 unchecked, 1 checked, 2 grayed.
int CheckValue(const QCheckBox* box);
void SetCheckValue(QCheckBox* box, int value);

class frmMain : public QWidget, public forms::DropWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

    // The load handler: looks for the archiver library in `places`. When found, the path is what the
    // first SevenZip call binds, and the result is true. When missing, the error box is shown (modal,
    // no window of ours visible) and the result is false: the caller ends the process.
    bool LoadHandler(const mSevenZip32APIs::LibrarySearchPlaces& places);

    // The settings file the unload handler writes; empty (the default) writes nothing.
    void SetSettingsFile(const std::string& path) { settingsFile_ = path; }

    // txtExtension as bytes. A value set here and not edited since comes back byte for byte, even
    // when it is not valid UTF-8 or very long; an edited value is the box's text in UTF-8.
    void SetExtensionBytes(const std::string& bytes);
    std::string ExtensionBytes() const;

    // JobWindow
    std::string ExtensionText() const override;
    int DeleteState() const override;
    void* NativeHandle() const override;
    void SetWindowEnabled(bool enabled) override;
    int ResultListWidthTwips() const override;
    int TextWidthTwips(const std::string& text) const override;
    void InsertResultLine(const std::string& line) override;

    // DropWindow
    void ClearResults() override;
    void SetCaption(const std::string& caption) override;
    void RunPendingEvents() override;
    bool CloseRequested() const override;
    int EachFileState() const override;
    std::string VersionCaption() const override;

    // Controls, in tab order.
    ResultList* lstResult = nullptr;
    QLineEdit* txtExtension = nullptr;
    QCheckBox* chkDelete = nullptr;
    QCheckBox* chkEachFile = nullptr;
    QPushButton* cmdAbout = nullptr;
    std::array<QLabel*, 1> lblCaption{};

    // True while a drop is being dispatched.
    bool Dispatching() const { return dispatching_; }

protected:
    // The unload handler: writes the four settings; the close is never refused. During a dispatch it is
    // held back: the dispatch ends before its next item and then closes the window.
    void closeEvent(QCloseEvent* event) override;

private:
    // The drop handler of lstResult: refuses further drops while forms::DispatchDrop runs the paths,
    // then closes the window when a close was asked for meanwhile. Runs queued after the drop event,
    // so the drag source is answered at once.
    void lstResult_Drop(const QList<QByteArray>& paths);
    void cmdAbout_Click();
    void PlaceControl(QWidget* control, const forms::ControlDesign& design);

    std::string settingsFile_;
    bool dispatching_ = false;
    bool closeRequested_ = false;
    std::string loadedExtensionBytes_;
    QString loadedExtensionText_;
};

// Text of file-name bytes for display: valid UTF-8 as is, other bytes as U+FFFD.
QString DisplayText(const std::string& bytes);
