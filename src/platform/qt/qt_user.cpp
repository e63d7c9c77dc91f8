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

bool ShowMessage(QWidget* parent, std::string_view text1252, MessageKind kind)
{
    const QString text = ToQString(text1252);
    const QString title = ApplicationTitle();
    switch (kind) {
    case MessageKind::Information: QMessageBox::information(parent, title, text); return true;
    case MessageKind::Error: QMessageBox::critical(parent, title, text); return true;
    case MessageKind::Warning: QMessageBox::warning(parent, title, text); return true;
    case MessageKind::Question:
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
               QMessageBox::Yes;
    }
    return false;
}

}  // namespace tarnwick
