#include "printing/page_setup_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPrinter>
#include <algorithm>

namespace tarnwick::ui {

namespace {
constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::Letter, QPageSize::Legal, QPageSize::A4, QPageSize::A3,
                                             QPageSize::A5};
constexpr double kMaxMargin = 4.0;  // inches
}  // namespace

PageSetupForm::PageSetupForm(QPrinter& printer, QWidget* parent) : QDialog(parent), printer_(printer)
{
    setObjectName(QStringLiteral("PageSetupForm"));
    setWindowTitle(QStringLiteral("Page Setup"));
    auto* form = new QFormLayout(this);
    paper_ = new QComboBox(this);
    const QPageSize::PageSizeId current = printer.pageLayout().pageSize().id();
    for (QPageSize::PageSizeId id : kPapers) {
        paper_->addItem(QPageSize::name(id), static_cast<int>(id));
        if (id == current) paper_->setCurrentIndex(paper_->count() - 1);
    }
    form->addRow(QStringLiteral("Si&ze:"), paper_);
    orientation_ = new QComboBox(this);
    orientation_->addItems({QStringLiteral("Portrait"), QStringLiteral("Landscape")});
    orientation_->setCurrentIndex(printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0);
    form->addRow(QStringLiteral("&Orientation:"), orientation_);
    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Inch);
    const double values[] = {margins.left(), margins.top(), margins.right(), margins.bottom()};
    const char* labels[] = {"&Left (inches):", "&Top (inches):", "&Right (inches):", "&Bottom (inches):"};
    for (int i = 0; i < 4; ++i) {
        margins_[i] = new QDoubleSpinBox(this);
        margins_[i]->setDecimals(3);
        margins_[i]->setRange(0, kMaxMargin);
        margins_[i]->setSingleStep(0.125);
        margins_[i]->setValue(values[i]);
        form->addRow(QString::fromLatin1(labels[i]), margins_[i]);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PageSetupForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

void PageSetupForm::accept()
{
    QPageLayout layout = printer_.pageLayout();
    layout.setUnits(QPageLayout::Inch);
    layout.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(paper_->currentData().toInt())));
    layout.setOrientation(orientation_->currentIndex() == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
    // Margins the paper cannot hold (more than half of it each way) are cut down to what fits.
    const QSizeF paper = layout.fullRect(QPageLayout::Inch).size();
    const double left = std::min(margins_[0]->value(), paper.width() / 2 - 0.5);
    const double right = std::min(margins_[2]->value(), paper.width() / 2 - 0.5);
    const double top = std::min(margins_[1]->value(), paper.height() / 2 - 0.5);
    const double bottom = std::min(margins_[3]->value(), paper.height() / 2 - 0.5);
    layout.setMinimumMargins(QMarginsF());
    layout.setMargins(QMarginsF(left, top, right, bottom));
    printer_.setPageLayout(layout);
    QDialog::accept();
}

}  // namespace tarnwick::ui
