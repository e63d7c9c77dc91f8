#include "printing/go_page_form.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace tarnwick::ui {

namespace {
constexpr int kClientWidth = 272;
constexpr int kClientHeight = 124;
}  // namespace

TGoPageForm::TGoPageForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GoPageForm"));
    setWindowTitle(QStringLiteral("Go to Page Number"));
    auto* label = new QLabel(QStringLiteral("&Page:"), this);
    pageNum_ = new QSpinBox(this);
    pageNum_->setObjectName(QStringLiteral("PageNum"));
    pageNum_->setMinimum(1);
    label->setBuddy(pageNum_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(pageNum_, 0, 1);
    layout->setRowStretch(1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    setFixedSize(kClientWidth, kClientHeight);
}

}  // namespace tarnwick::ui
