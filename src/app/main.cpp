// tarnwick: the editor for SQL scripts that serve several SQL versions.
//
//   tarnwick [FILE]

#include <QApplication>

#include "app/about_box.h"
#include "app/frame_form.h"
#include "documents/replace_dialog.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvanti"));
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tarnwick"));
    QApplication::setWindowIcon(tarnwick::ui::ProgramIcon());

    // The frame, then the replace confirmation all edit windows share.
    tarnwick::ui::TFrameForm frame;
    tarnwick::ui::TFormConfirmReplace::CreateShared(&frame);
    frame.show();
    const QStringList arguments = QApplication::arguments();
    frame.FormShow(arguments.size() > 1 ? arguments.at(1) : QString());
    return QApplication::exec();
}
