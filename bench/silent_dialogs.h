#pragma once
// Questions and messages for a benchmark of the windows: it has no one to ask, so the close
// question is answered No, errors go to standard error and the rest is dropped.

#include <cstdio>

#include "documents/user_dialogs.h"

namespace tarnwick::bench {

class SilentDialogs : public ui::UserDialogs {
public:
    Answer AskYesNoCancel(QWidget*, const QString&) override { return Answer::No; }
    void ShowError(QWidget*, const QString& text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    void ShowInformation(QWidget*, const QString&) override {}
};

}  // namespace tarnwick::bench
