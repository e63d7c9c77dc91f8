#include "widgets/pick_list.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "editor/macro_keywords.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::ui {

namespace {

constexpr int kDescriptionRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

QFont BoldOf(QFont font)
{
    font.setBold(true);
    return font;
}

// Each item: the description 2 pixels in, the name in bold where the widest description ends,
// 24 pixels further.
class ItemDrawer : public QStyledItemDelegate {
public:
    explicit ItemDrawer(PickList& list) : QStyledItemDelegate(&list), list_(list) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& palette = option.palette;
        p->fillRect(option.rect, palette.color(selected ? QPalette::Highlight : QPalette::Base));
        p->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        p->setFont(option.font);
        const QRect r = option.rect;
        p->drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data(kDescriptionRole).toString());
        p->setFont(BoldOf(option.font));
        p->drawText(r.adjusted(list_.DescriptionWidth() + 24, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    index.data(kNameRole).toString());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const QFontMetrics bold(BoldOf(option.font));
        return {list_.DescriptionWidth() + list_.NameWidth() + 24,
                bold.boundingRect(QStringLiteral("Wy")).height() + 2};
    }

private:
    PickList& list_;
};

}  // namespace

PickList::PickList(QWidget* parent, TMacroKeywords& list, MacroTarget& target, const std::vector<std::string>& items,
                   int selected)
    : QListWidget(parent), list_(list), target_(target)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont small(QStringLiteral("Arial"));
    small.setPointSize(8);
    setFont(small);
    const QFontMetrics plain(small);
    const QFontMetrics bold(BoldOf(small));
    for (const std::string& item : items) {
        const std::size_t tab = item.find('\t');
        const QString description =
            ToQString(tab == std::string::npos ? std::string_view() : std::string_view(item).substr(0, tab));
        const QString name =
            ToQString(tab == std::string::npos ? std::string_view(item) : std::string_view(item).substr(tab + 1));
        auto* row = new QListWidgetItem(description + QLatin1Char('\t') + name, this);
        row->setData(kDescriptionRole, description);
        row->setData(kNameRole, name);
        descriptionWidth_ = std::max(descriptionWidth_, plain.horizontalAdvance(description));
        nameWidth_ = std::max(nameWidth_, bold.horizontalAdvance(name));
    }
    setItemDelegate(new ItemDrawer(*this));
    if (selected >= 0 && selected < count()) setCurrentRow(selected);
}

void PickList::Place(int x, int lineTop, int lineHeight)
{
    const QWidget* owner = parentWidget();
    const int width = descriptionWidth_ + nameWidth_ + 48;
    const int rows = std::min(count(), 10);
    const int height = rows * sizeHintForRow(0) + 2 * frameWidth();
    if (x + width > owner->width()) x = std::max(0, owner->width() - width - 24);
    int y = lineTop + lineHeight;
    if (y + height > owner->height()) y = std::max(0, lineTop - height);
    setGeometry(x, y, width, height);
}

void PickList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Accept(); return;
    case Qt::Key_Escape: Close(); return;
    default: break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text.at(0).isPrint()) {
        const std::string typed = FromQString(text);
        const int index = list_.PickListKey(typed[0]);
        if (index >= 0) {
            setCurrentRow(index);
            return;
        }
    }
    QListWidget::keyPressEvent(event);
}

void PickList::mouseDoubleClickEvent(QMouseEvent*) { Accept(); }

void PickList::focusOutEvent(QFocusEvent* event)
{
    QListWidget::focusOutEvent(event);
    Close();
}

void PickList::Accept()
{
    if (closed_) return;
    const int row = currentRow();
    if (row >= 0) list_.PickListAccept(target_, row);
    Close();
}

void PickList::Close()
{
    if (closed_) return;
    closed_ = true;
    list_.PickListClosed(target_);
    hide();
    if (parentWidget()) parentWidget()->setFocus();
    deleteLater();
}

}  // namespace tarnwick::ui
