#include "documents/user_dialogs.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "platform/qt/qt_user.h"

namespace tarnwick::ui {

namespace {

// The save dialog refuses a file it could not write and a folder that does not exist before it
// closes, so that the person can choose again.
class SaveFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (files.size() == 1) {
            const QFileInfo info(files.first());
            if (!info.isDir()) {
                if (!info.dir().exists()) {
                    QMessageBox::warning(this, windowTitle(),
                                         QStringLiteral("The folder %1 does not exist.")
                                             .arg(QDir::toNativeSeparators(info.absolutePath())));
                    return;
                }
                if (info.exists() && !info.isWritable()) {
                    QMessageBox::warning(this, windowTitle(),
                                         QStringLiteral("%1 is read-only.\nChoose another name.")
                                             .arg(QDir::toNativeSeparators(info.absoluteFilePath())));
                    return;
                }
            }
        }
        QFileDialog::accept();
    }
};

void SetUpFileDialog(QFileDialog& dialog, const QString& folder)
{
    // Qt's own dialog on every desktop: the open dialog carries a box the platform dialogs lack,
    // and both then look alike.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(UserDialogs::FileFilters());
    dialog.setDefaultSuffix(UserDialogs::DefaultSuffix());
    dialog.setSizeGripEnabled(true);
    if (!folder.isEmpty() && QDir(folder).exists()) dialog.setDirectory(folder);
}

}  // namespace

QStringList UserDialogs::FileFilters()
{
    return {QStringLiteral("SQL files (*.sql)"), QStringLiteral("Text files (*.txt)"), QStringLiteral("All files (*)")};
}

QString UserDialogs::DefaultSuffix() { return QStringLiteral("sql"); }

UserDialogs::Answer UserDialogs::AskYesNoCancel(QWidget* parent, const QString& question)
{
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

std::optional<UserDialogs::OpenChoice> UserDialogs::AskOpenFile(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Open"));
    SetUpFileDialog(dialog, lastFolder_);
    dialog.setObjectName(QStringLiteral("OpenFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* readOnly = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
    readOnly->setObjectName(QStringLiteral("readOnly"));
    // Qt's dialog lays its parts out in a grid: the box goes under the file type row.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) grid->addWidget(readOnly, grid->rowCount(), 1);
    else readOnly->hide();
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    OpenChoice choice{dialog.selectedFiles().first(), readOnly->isChecked()};
    lastFolder_ = QFileInfo(choice.file).absolutePath();
    return choice;
}

std::optional<QString> UserDialogs::AskSaveFile(QWidget* parent, const QString& preset)
{
    SaveFileDialog dialog(parent, QStringLiteral("Save As"));
    SetUpFileDialog(dialog, preset.isEmpty() ? lastFolder_ : QFileInfo(preset).absolutePath());
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!preset.isEmpty()) dialog.selectFile(preset);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString file = dialog.selectedFiles().first();
    lastFolder_ = QFileInfo(file).absolutePath();
    return file;
}

void UserDialogs::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, ApplicationTitle(), text);
}

void UserDialogs::ShowInformation(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, ApplicationTitle(), text);
}

bool UserDialogs::OpenDocument(const QString& file) { return QDesktopServices::openUrl(QUrl::fromLocalFile(file)); }

}  // namespace tarnwick::ui
