// frmMain.cpp - the main window: controls as designed, the load handler's library check, the unload
// handler's settings write, the About button and the DropWindow side the drop dispatch and the jobs use.
#include "frmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QValidator>
#include <cstdint>
#include <limits>
#include <vector>

#include "ResultList.h"
#include "Twips.h"
#include "WindowFont.h"
#include "WindowSettings.h"
#include "frmAbout.h"
#include "mMain.h"
#include "settings_location.h"

namespace {

// A check box that shows the grayed state when it is set, while a click only ever toggles between
// unchecked and checked (a click on a grayed box checks it).
class StateCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

// Keeps the extension box on one line: line breaks and NUL characters (pasted text may hold them) are
// dropped as they arrive. The settings file cannot store them, and a line break would end up in every
// archive name.
class SingleLineValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        for (qsizetype i = input.size(); i-- > 0;) {
            const QChar c = input[i];
            if (c == u'\n' || c == u'\r' || c == QChar::Null) {
                input.remove(i, 1);
                if (pos > i) --pos;
            }
        }
        return Acceptable;
    }
};

}  // namespace

int CheckValue(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
    }
    return 0;
}

void SetCheckValue(QCheckBox* box, int value) {
    box->setCheckState(value == 2 ? Qt::PartiallyChecked : value == 1 ? Qt::Checked : Qt::Unchecked);
}

QString DisplayText(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

frmMain::frmMain(QWidget* parent) : QWidget(parent) {
    const std::array<forms::ControlDesign, 6>& design = forms::MainDesign();
    lstResult = new ResultList(this);
    connect(lstResult, &ResultList::PathsDropped, this, &frmMain::lstResult_Drop, Qt::QueuedConnection);
    PlaceControl(lstResult, design[forms::kResultList]);

    txtExtension = new QLineEdit(this);
    txtExtension->setMaxLength(std::numeric_limits<int>::max());
    txtExtension->setValidator(new SingleLineValidator(txtExtension));
    PlaceControl(txtExtension, design[forms::kExtensionBox]);

    chkDelete = new StateCheckBox(QString::fromUtf8(design[forms::kDeleteBox].caption), this);
    chkDelete->setTristate(true);
    PlaceControl(chkDelete, design[forms::kDeleteBox]);

    chkEachFile = new StateCheckBox(QString::fromUtf8(design[forms::kEachFileBox].caption), this);
    chkEachFile->setTristate(true);
    PlaceControl(chkEachFile, design[forms::kEachFileBox]);

    cmdAbout = new QPushButton(QString::fromUtf8(design[forms::kAboutButton].caption), this);
    cmdAbout->setAutoDefault(false);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    PlaceControl(cmdAbout, design[forms::kAboutButton]);

    lblCaption[0] = new QLabel(QString::fromUtf8(design[forms::kExtensionLabel].caption), this);
    PlaceControl(lblCaption[0], design[forms::kExtensionLabel]);

    setTabOrder(lstResult, txtExtension);
    setTabOrder(txtExtension, chkDelete);
    setTabOrder(chkDelete, chkEachFile);
    setTabOrder(chkEachFile, cmdAbout);

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(QIcon(QStringLiteral(":/pakuto/pakuto.xpm")));
    setFixedSize(TwipsToPixelsX(forms::kMainClientWidthTwips, this),
                 TwipsToPixelsY(forms::kMainClientHeightTwips, this));
    FitWindowFont(this, RequestedWindowFont());
}

void frmMain::PlaceControl(QWidget* control, const forms::ControlDesign& design) {
    control->setObjectName(QString::fromUtf8(design.name));
    control->setGeometry(TwipsToPixelsX(design.left, this), TwipsToPixelsY(design.top, this),
                         TwipsToPixelsX(design.width, this), TwipsToPixelsY(design.height, this));
    if (design.toolTip[0] != '\0') control->setToolTip(QString::fromUtf8(design.toolTip));
}

bool frmMain::LoadHandler(const mSevenZip32APIs::LibrarySearchPlaces& places) {
    const std::string library = mSevenZip32APIs::FindArchiverLibrary(places);
    if (!library.empty()) {
        mSevenZip32APIs::SetArchiverLibraryPath(library);
        return true;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(forms::kLibraryMissingTitle),
                    QString::fromUtf8(forms::kLibraryMissingText), QMessageBox::Ok);
    box.setFont(font());
    box.exec();
    return false;
}

void frmMain::SetExtensionBytes(const std::string& bytes) {
    loadedExtensionBytes_ = bytes;
    loadedExtensionText_ = DisplayText(bytes);
    txtExtension->setText(loadedExtensionText_);
}

std::string frmMain::ExtensionBytes() const {
    const QString text = txtExtension->text();
    if (text == loadedExtensionText_) return loadedExtensionBytes_;
    return text.toUtf8().toStdString();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (dispatching_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    closeRequested_ = false;
    // The folder of a per-user settings file is made only now, when there is something to write.
    if (!settingsFile_.empty() && PrepareSettingsFolder(settingsFile_)) {
        forms::WindowSettings settings;
        settings.deleteState = CheckValue(chkDelete);
        settings.eachFileState = CheckValue(chkEachFile);
        settings.extension = ExtensionBytes();
        forms::WriteWindowSettings(settingsFile_, settings);
    }
    event->accept();
}

void frmMain::lstResult_Drop(const QList<QByteArray>& paths) {
    // A drop that arrives while one is being dispatched (events run between items) is refused rather
    // than nested into the running one.
    if (dispatching_) return;
    dispatching_ = true;
    lstResult->SetRefusingDrops(true);

    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(paths.size()));
    for (const QByteArray& path : paths) items.push_back(path.toStdString());
    forms::DispatchDrop(*this, items, mMain::strCommandLine);

    lstResult->SetRefusingDrops(false);
    dispatching_ = false;
    // A close asked for while the dispatch ran was held back until now; it proceeds as usual.
    if (closeRequested_) close();
}

void frmMain::cmdAbout_Click() {
    frmAbout about(this);
    about.exec();
}

std::string frmMain::ExtensionText() const {
    return ExtensionBytes();
}

int frmMain::DeleteState() const {
    return CheckValue(chkDelete);
}

void* frmMain::NativeHandle() const {
    if (!testAttribute(Qt::WA_WState_Created)) return nullptr;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(winId()));
}

void frmMain::SetWindowEnabled(bool enabled) {
    setEnabled(enabled);
}

int frmMain::ResultListWidthTwips() const {
    return PixelsToTwipsX(lstResult->width(), this);
}

// The width is that of the text as the list shows it, so a compacted line fits as drawn.
int frmMain::TextWidthTwips(const std::string& text) const {
    return PixelsToTwipsX(QFontMetrics(lstResult->font()).horizontalAdvance(OneLineText(DisplayText(text))),
                          this);
}

void frmMain::InsertResultLine(const std::string& line) {
    lstResult->insertItem(0, OneLineText(DisplayText(line)));
}

void frmMain::ClearResults() {
    lstResult->clear();
}

void frmMain::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void frmMain::RunPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool frmMain::CloseRequested() const {
    return closeRequested_;
}

int frmMain::EachFileState() const {
    return CheckValue(chkEachFile);
}

std::string frmMain::VersionCaption() const {
    return mMain::VersionText().toStdString();
}
