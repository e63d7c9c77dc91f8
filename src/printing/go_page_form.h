#pragma once
// TGoPageForm: the preview's small dialog asking for a page number.

#include <QDialog>

class QSpinBox;

namespace tarnwick::ui {

class TGoPageForm : public QDialog {
    Q_OBJECT

public:
    explicit TGoPageForm(QWidget* parent = nullptr);
    // The spin edit "PageNum": from 1 to the given maximum.
    QSpinBox* PageNum() const { return pageNum_; }

private:
    QSpinBox* pageNum_ = nullptr;
};

}  // namespace tarnwick::ui
