#pragma once
// The page setup of a printer the system's page-setup dialog does not take (a PDF printer, the
// one printer of a machine without printers): paper size, orientation and the four margins in
// inches. On OK they go to the printer.

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QPrinter;

namespace tarnwick::ui {

class PageSetupForm : public QDialog {
    Q_OBJECT

public:
    PageSetupForm(QPrinter& printer, QWidget* parent = nullptr);

    QComboBox* PaperSize() const { return paper_; }
    QComboBox* Orientation() const { return orientation_; }
    // Left, top, right, bottom.
    QDoubleSpinBox* Margin(int index) const { return margins_[index]; }

    void accept() override;

private:
    QPrinter& printer_;
    QComboBox* paper_ = nullptr;
    QComboBox* orientation_ = nullptr;
    QDoubleSpinBox* margins_[4] = {};
};

}  // namespace tarnwick::ui
