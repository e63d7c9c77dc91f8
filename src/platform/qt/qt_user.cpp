#include "platform/qt/qt_user.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/qt/qt_text.h"

namespace tarnwick {

void QtBeep() { QApplication::beep(); }

QString ApplicationTitle()
{
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Tarnwick") : name;
}

bool ShowMessage(QWidget* parent, std::string_view text1252, TMessageKind kind)
{
    const QString text = ToQString(text1252);
    const QString title = ApplicationTitle();
    switch (kind) {
    case TMessageKind::Information: QMessageBox::information(parent, title, text); return true;
    case TMessageKind::Error: QMessageBox::critical(parent, title, text); return true;
    case TMessageKind::Warning: QMessageBox::warning(parent, title, text); return true;
    case TMessageKind::Question:
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
               QMessageBox::Yes;
    }
    return false;
}

}  // namespace tarnwick
