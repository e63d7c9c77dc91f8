#pragma once
// The user-facing calls of ControlHost (control/control_host.h) on Qt: the beep and message boxes.

#include <QString>
#include <string_view>

#include "control/control_host.h"

class QWidget;

namespace tarnwick {

// The platform's beep.
void QtBeep();

// The title of message boxes: the application's display name ("Tarnwick" unless set otherwise).
QString ApplicationTitle();

// Shows `text1252` in a modal message box titled with the application's title: information,
// error (critical) and warning boxes with an OK button, a question with Yes and No. Returns true
// for Yes on a question (and true after any other box).
bool ShowMessage(QWidget* parent, std::string_view text1252, MessageKind kind);

}  // namespace tarnwick
