#include "app/recovery_offer.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <new>

#include "base/errors.h"
#include "base/file_io.h"
#include "platform/qt/qt_text.h"

namespace fs = std::filesystem;

namespace tarnwick::ui {

namespace {

const QString kSuffix = QStringLiteral(".twr");
const QString kLockSuffix = QStringLiteral(".lock");
constexpr int kDialogWidth = 640;
constexpr int kDialogHeight = 300;
constexpr int kNameColumnLimit = 260;
constexpr int kCheckBoxRoom = 40;  // the check box and the margins beside a name

fs::path FilePath(const QString& file) { return fs::path(QFile::encodeName(file).toStdString()); }

// The session a recovery file belongs to: its name up to the last "-".
QString SessionOf(const QString& fileName)
{
    const qsizetype dash = fileName.lastIndexOf(QLatin1Char('-'));
    return dash <= 0 ? QString() : fileName.left(dash);
}

std::unique_ptr<QLockFile> SessionLock(const QString& folder, const QString& session)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(session + kLockSuffix));
    // A session's lock is held for as long as the program runs; only a gone process makes it stale.
    lock->setStaleLockTime(0);
    return lock;
}

}  // namespace

QString DefaultRecoveryFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : QDir(data).filePath(QStringLiteral("recovery"));
}

RecoverySession::RecoverySession(const QString& folder) : folder_(folder)
{
    if (folder_.isEmpty() || !QDir().mkpath(folder_)) return;
    QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    id_ = QStringLiteral("%1x%2")
              .arg(QCoreApplication::applicationPid())
              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    lock_ = SessionLock(folder_, id_);
    usable_ = lock_->tryLock(0);
}

RecoverySession::~RecoverySession()
{
    ReleaseLeftovers();
    if (lock_) lock_->unlock();
}

fs::path RecoverySession::NewFile()
{
    if (!usable_) return {};
    ++serial_;
    return FilePath(QDir(folder_).filePath(QStringLiteral("%1-%2%3").arg(id_).arg(serial_).arg(kSuffix)));
}

std::vector<LeftoverScript> RecoverySession::FindLeftovers(std::vector<DamagedRecovery>& damaged)
{
    std::vector<LeftoverScript> found;
    if (!usable_) return found;
    const QDir dir(folder_);
    // The sessions that are gone: their locks can be taken.
    std::map<QString, bool> gone;
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo& info : files) {
        const QString session = SessionOf(info.completeBaseName());
        if (session.isEmpty() || session == id_ || gone.contains(session)) continue;
        std::unique_ptr<QLockFile> lock = SessionLock(folder_, session);
        gone[session] = lock->tryLock(0);
        if (gone[session]) taken_.push_back(std::move(lock));
    }
    // The lock of a gone session that left no script (it ended while its dialogs were open, or
    // was killed before a change) goes: taking it and letting go removes the file.
    for (const QString& name : dir.entryList({QStringLiteral("*") + kLockSuffix}, QDir::Files)) {
        const QString session = name.chopped(kLockSuffix.size());
        if (session == id_ || gone.contains(session)) continue;
        std::unique_ptr<QLockFile> lock = SessionLock(folder_, session);
        if (lock->tryLock(0)) lock->unlock();
    }
    for (const QFileInfo& info : files) {
        const QString session = SessionOf(info.completeBaseName());
        const auto it = gone.find(session);
        if (it == gone.end() || !it->second) continue;
        try {
            const FileView view = FileView::Open(FilePath(info.filePath()));
            found.push_back({info.filePath(), ReadRecoveryData(view.Text()), info.lastModified()});
        } catch (const std::bad_alloc&) {
            damaged.push_back({info.filePath(), QString(), QStringLiteral("not enough memory to read it")});
        } catch (const Exception& e) {
            // Set aside, not deleted: it may still hold text worth saving by hand.
            const QString aside = info.filePath() + QStringLiteral(".damaged");
            QFile::remove(aside);
            const bool renamed = QFile::rename(info.filePath(), aside);
            damaged.push_back({info.filePath(), renamed ? aside : QString(), ToQString(e.what())});
        }
    }
    // Temporary files of whole writes a gone session did not finish.
    for (const auto& [session, isGone] : gone) {
        if (!isGone) continue;
        for (const QString& temp :
             dir.entryList({QStringLiteral(".") + session + QStringLiteral("-*.tmp")}, QDir::Files | QDir::Hidden))
            QFile::remove(dir.filePath(temp));
    }
    return found;
}

void RecoverySession::ReleaseLeftovers()
{
    for (const std::unique_ptr<QLockFile>& lock : taken_) lock->unlock();
    taken_.clear();
}

// ---------------------------------------------------------------- the dialog

RecoveryDialog::RecoveryDialog(const std::vector<LeftoverScript>& scripts, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RecoveryDialog"));
    setWindowTitle(QStringLiteral("Restore Unsaved Scripts"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Tarnwick did not close normally last time. These scripts had changes "
                                           "that were not saved. Check the ones to restore:"),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("RecoveryList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({QStringLiteral("Script"), QStringLiteral("Folder"), QStringLiteral("Changed")});
    const QLocale locale;
    for (const LeftoverScript& s : scripts) {
        const QString name = QFile::decodeName(QByteArray::fromStdString(s.script.head.fileName));
        const QFileInfo info(name);
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, name.isEmpty() ? QStringLiteral("Untitled") : info.fileName());
        item->setText(1, name.isEmpty() ? QString() : QDir::toNativeSeparators(info.absolutePath()));
        item->setText(2, locale.toString(s.changed, QLocale::ShortFormat));
        item->setToolTip(0, name.isEmpty() ? QStringLiteral("Untitled") : QDir::toNativeSeparators(name));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
    }
    // Long names are shortened in the middle, where the least telling part of a path is; the
    // script's name column takes what it needs up to a limit, the folder the rest.
    list_->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = list_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Interactive);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    int nameWidth = header->sectionSizeHint(0);
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        nameWidth = std::max(nameWidth,
                             list_->fontMetrics().horizontalAdvance(list_->topLevelItem(i)->text(0)) + kCheckBoxRoom);
    header->resizeSection(0, std::min(nameWidth, kNameColumnLimit));
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    layout->addWidget(list_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    restore->setObjectName(QStringLiteral("RestoreButton"));
    QPushButton* discard = buttons->addButton(QStringLiteral("&Discard All"), QDialogButtonBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("DiscardButton"));
    QPushButton* later = buttons->addButton(QStringLiteral("&Later"), QDialogButtonBox::RejectRole);
    later->setObjectName(QStringLiteral("LaterButton"));
    later->setToolTip(QStringLiteral("Keep the scripts and offer them again at the next start"));
    restore->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(discard, &QPushButton::clicked, this, [this] {
        discardAll_ = true;
        accept();
    });
    layout->addWidget(buttons);
    resize(kDialogWidth, kDialogHeight);
}

RecoveryChoice RecoveryDialog::Ask()
{
    discardAll_ = false;
    if (exec() != QDialog::Accepted) return std::nullopt;
    std::vector<bool> restore;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        restore.push_back(!discardAll_ && list_->topLevelItem(i)->checkState(0) == Qt::Checked);
    return restore;
}

}  // namespace tarnwick::ui
