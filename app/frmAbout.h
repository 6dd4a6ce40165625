// frmAbout.h - the About box: a fixed modal dialog over the main window with the version text and a
// short description; Esc closes it, every other key is ignored.
#pragma once

#include <QDialog>
#include <array>

class QKeyEvent;
class QLabel;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // Creates the box with `owner` (the main window) as owner and runs the load handler: the owner's
    // font, the labels, the version text in element 0.
    explicit frmAbout(QWidget* owner);

    std::array<QLabel*, 4> lblCaption{};

protected:
    // Esc (character code 27) unloads the box; every other key, Enter included, does nothing.
    void keyPressEvent(QKeyEvent* event) override;
};
