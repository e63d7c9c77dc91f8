#pragma once
// UserDialogs that answer from a script instead of asking: the close questions, the open and save
// dialogs take their answers from queues (an empty queue or an empty name answers Cancel), and every question,
// error and information box is recorded for the test to read.

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

#include "documents/user_dialogs.h"

namespace tarnwick::testing {

class ScriptedDialogs : public ui::UserDialogs {
public:
    std::deque<Answer> answers;
    QStringList saveNames;
    QList<OpenChoice> openChoices;
    QStringList questions;
    QStringList errors;
    QStringList informations;
    QStringList openedDocuments;
    QStringList savePresets;
    bool documentsOpen = true;

    Answer AskYesNoCancel(QWidget*, const QString& question) override
    {
        questions << question;
        if (answers.empty()) return Answer::Cancel;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<OpenChoice> AskOpenFile(QWidget*) override
    {
        if (openChoices.isEmpty()) return std::nullopt;
        const OpenChoice c = openChoices.takeFirst();
        if (c.file.isEmpty()) return std::nullopt;
        return c;
    }
    std::optional<QString> AskSaveFile(QWidget*, const QString& preset) override
    {
        savePresets << preset;
        if (saveNames.isEmpty()) return std::nullopt;
        const QString n = saveNames.takeFirst();
        if (n.isEmpty()) return std::nullopt;
        return n;
    }
    void ShowError(QWidget*, const QString& text) override { errors << text; }
    void ShowInformation(QWidget*, const QString& text) override { informations << text; }
    bool OpenDocument(const QString& file) override
    {
        openedDocuments << file;
        return documentsOpen;
    }
};

}  // namespace tarnwick::testing
