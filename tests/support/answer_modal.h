#pragma once
// Answers a modal window from a timer, as a person would once it shows: the code under test opens
// it and waits in its own event loop, so the answer has to come from outside that call.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <type_traits>
#include <utility>

namespace tarnwick::testing {

// Calls `answer` with the first modal window that opens, other than `over` (one already open
// when the answer is set up), polling every 20 ms for up to ten seconds. A dialog still open
// afterwards is rejected, so that no test hangs. `answer` takes a QWidget* or a QDialog*; with a
// QDialog* only dialogs count.
template <class Answer>
void AnswerModal(Answer answer, QWidget* over = nullptr)
{
    constexpr bool wantsDialog = !std::is_invocable_v<Answer, QWidget*>;
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, tries = 0, answer = std::move(answer), over]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (modal == over || (wantsDialog && !dialog)) modal = nullptr;
        if (!modal && ++tries < 500) return;
        timer->stop();
        timer->deleteLater();
        if (!modal) return;
        if constexpr (wantsDialog) answer(dialog);
        else answer(modal);
        if (dialog && dialog->isVisible()) dialog->reject();
    });
    timer->start();
}

}  // namespace tarnwick::testing
