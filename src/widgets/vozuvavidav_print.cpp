// Printing: the editor prints itself on a printer, and draws single pages onto any other paint
// device (the pages of the print preview). Text is drawn by the line painter the screen uses, in
// fonts measured on the target device.

#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPrinter>
#include <QTime>
#include <algorithm>
#include <climits>

#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_text.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

namespace {

constexpr int kLineNumberColumns = 10;      // room left of the text for "%6d:"
constexpr std::int64_t kColourAhead = 256;  // lines coloured at once while a page is drawn

// Sets the printing (and external-surface) state for the life of one operation and puts the
// window back afterwards, however the operation ends.
class PrintingState {
public:
    PrintingState(VOzuvavIdav& editor, bool& printing, bool& external, bool externalSurface)
        : editor_(editor), printing_(printing), external_(external)
    {
        printing_ = true;
        external_ = externalSurface;
    }
    ~PrintingState()
    {
        printing_ = false;
        external_ = false;
        editor_.Control().FlushChange();
        editor_.viewport()->update();
    }
    PrintingState(const PrintingState&) = delete;
    PrintingState& operator=(const PrintingState&) = delete;

private:
    VOzuvavIdav& editor_;
    bool& printing_;
    bool& external_;
};

}  // namespace

struct VOzuvavIdav::PrintPlan {
    QPaintDevice* device = nullptr;
    QRect rect;
    FontSet fonts;
    int charWidth = 1;
    int lineHeight = 1;
    bool lineNumbers = false;
    bool filename = false;
    bool date = false;
    bool pageNos = false;
    bool wrap = false;
    std::int64_t firstLogical = 0;
    std::int64_t lastLogical = -1;
    std::string key;  // what the page starts depend on

    int TextLeft(const QRect& area) const { return area.left() + (lineNumbers ? kLineNumberColumns * charWidth : 0); }
};

VOzuvavIdav::PrintPlan VOzuvavIdav::PlanFor(QPaintDevice* device, const QRect& rect, bool selection) const
{
    const tarnwick::VOzuvavIdav& c = *control_;
    const TSM_Settings& s = c.Settings();
    PrintPlan plan;
    plan.device = device;
    plan.rect = rect;
    plan.fonts.Build(s.fontName, s.fontSize, s.fontCharset, device);
    plan.charWidth = std::max(1, plan.fonts.Metrics().charWidth);
    plan.lineHeight = std::max(1, plan.fonts.Metrics().lineHeight);
    plan.lineNumbers = c.HasOption(smoPrintLineNos);
    plan.filename = c.HasOption(smoPrintFilename);
    plan.date = c.HasOption(smoPrintDate);
    plan.pageNos = c.HasOption(smoPrintPageNos);
    plan.wrap = c.HasOption(smoPrintWrap);
    if (selection) {
        const TTextStore& store = c.Store();
        plan.firstLogical = store.LogicalLineOf(c.LineOf(c.SelStart()));
        plan.lastLogical = store.LogicalLineOf(c.LineOf(c.SelEnd()));
        // A selection ending at the very start of a line does not take that line.
        if (c.SelEnd() > c.SelStart() && plan.lastLogical > plan.firstLogical &&
            c.SelEnd() == c.LineStart(store.FirstLineOfLogical(plan.lastLogical)))
            --plan.lastLogical;
    }
    plan.key = std::to_string(reinterpret_cast<std::uintptr_t>(&c.Store())) + '/' + std::to_string(textRevision_) +
               '/' + std::to_string(c.Store().CharCount()) + '/' + std::to_string(c.Store().LineCount()) + '/' +
               std::to_string(rect.left()) + ',' + std::to_string(rect.top()) + ',' + std::to_string(rect.width()) +
               ',' + std::to_string(rect.height()) + '/' + std::to_string(device->logicalDpiY()) + '/' +
               std::to_string(plan.charWidth) + ',' + std::to_string(plan.lineHeight) + '/' +
               std::to_string(c.OptionWord()) + '/' + std::to_string(c.TabDefault()) + ':' + c.TabColumns() + '/' +
               std::to_string(plan.firstLogical) + ',' + std::to_string(plan.lastLogical) + '/' +
               (OnPrintHeaderFooter ? "custom" : "built-in");
    return plan;
}

QRect VOzuvavIdav::PageArea(const PrintPlan& plan, QPainter* painter, int page, bool& transparent)
{
    transparent = false;
    QRect r = plan.rect;
    const int lh = plan.lineHeight;
    if (OnPrintHeaderFooter) {
        OnPrintHeaderFooter(*this, painter, r, transparent);
        const int left = plan.TextLeft(r);
        return QRect(QPoint(left, r.top()), QPoint(std::max(left, r.right()), r.bottom()));
    }
    int top = r.top();
    int bottom = r.bottom() + 1;
    const bool header = plan.filename || plan.date;
    if (painter && (header || plan.pageNos)) {
        const tarnwick::VOzuvavIdav& c = *control_;
        painter->save();
        painter->setFont(plan.fonts.Text(c.Settings().Style(0).fontStyle));
        painter->setPen(Qt::black);
        painter->setBackground(Qt::white);
        painter->setBackgroundMode(Qt::OpaqueMode);
        const QRect firstLine(r.left(), r.top(), r.width(), lh);
        if (plan.filename) painter->drawText(firstLine, Qt::AlignLeft | Qt::AlignVCenter, ToQString(c.Title));
        if (plan.date) {
            const QLocale locale;
            const QString stamp = locale.toString(QDate::currentDate(), QLocale::ShortFormat) + QStringLiteral(" - ") +
                                  locale.toString(QTime::currentTime(), QLocale::LongFormat);
            painter->drawText(firstLine, Qt::AlignRight | Qt::AlignVCenter, stamp);
        }
        painter->setPen(QPen(Qt::black, std::max(1, lh / 16)));
        if (header) painter->drawLine(r.left(), r.top() + 2 * lh, r.right(), r.top() + 2 * lh);
        if (plan.pageNos) {
            painter->drawLine(r.left(), bottom - 3 * lh, r.right(), bottom - 3 * lh);
            const QRect numberLine(r.left(), bottom - (5 * lh) / 2, r.width(), lh);
            painter->drawText(numberLine, Qt::AlignHCenter | Qt::AlignVCenter, QString::asprintf("- %d -", page));
        }
        painter->restore();
    }
    if (header) top = r.top() + 3 * lh;
    if (plan.pageNos) bottom -= 4 * lh;
    const int left = plan.TextLeft(r);
    return QRect(left, top, std::max(0, r.right() + 1 - left), std::max(0, bottom - top));
}

std::int64_t VOzuvavIdav::CapacityOf(const PrintPlan& plan, const QRect& area)
{
    return std::max<std::int64_t>(1, (area.right() + 1 - area.left()) / plan.charWidth - 1);
}

PageWalker VOzuvavIdav::WalkerFor(const PrintPlan& plan)
{
    const tarnwick::VOzuvavIdav& c = *control_;
    PieceRule rule;
    rule.wrap = plan.wrap;
    rule.capacity = std::max<std::int64_t>(
        1, (plan.rect.width() - plan.TextLeft(plan.rect) + plan.rect.left()) / plan.charWidth - 1);
    rule.tabs = TabRule::FromSettings(c.Settings());
    rule.tabDefault = c.TabDefault();
    return PageWalker(c.Store(), rule, plan.firstLogical, plan.lastLogical,
                      [this](std::int64_t record) { control_->ColourLines(record, record + kColourAhead); });
}

std::optional<PageStart> VOzuvavIdav::DrawPage(QPainter& painter, const PrintPlan& plan, PageWalker& walker,
                                               const PageStart& start, const QRect& area, bool transparent)
{
    const tarnwick::VOzuvavIdav& c = *control_;
    PaintSetup setup;
    setup.area = area;
    setup.printing = true;
    setup.mono = c.MonoPrint;
    setup.charWidth = plan.charWidth;
    setup.lineHeight = plan.lineHeight;
    setup.textLeft = area.left();
    setup.transparent = transparent;
    const LinePainter lines(c, plan.fonts, palette(), setup);
    const QFont& numberFont = plan.fonts.Text(c.Settings().Style(0).fontStyle);
    const int lh = plan.lineHeight;
    const QRect numbers(plan.rect.left(), area.top(), area.left() - plan.rect.left(), area.height());
    walker.SetCapacity(CapacityOf(plan, area));
    return walker.Walk(start, std::max(1, area.height() / lh), [&](const PrintedPiece& piece) {
        const int y = area.top() + piece.row * lh;
        lines.PaintPiece(painter, piece.text, piece.attributes, y);
        if (plan.lineNumbers && piece.first && numbers.width() > 0) {
            const QString number = QString::asprintf("%6lld:", static_cast<long long>(piece.logical + 1));
            painter.setFont(numberFont);
            painter.setPen(Qt::black);
            const QFontMetricsF m(numberFont, painter.device());
            const qreal baseline = y + (lh - (m.ascent() + m.descent())) / 2 + m.ascent();
            // Clipped at the text's left edge only when it would reach it.
            if (m.horizontalAdvance(number) <= numbers.width()) {
                painter.drawText(QPointF(numbers.left(), baseline), number);
            } else {
                painter.save();
                painter.setClipRect(QRect(numbers.left(), y, numbers.width(), lh));
                painter.drawText(QPointF(numbers.left(), baseline), number);
                painter.restore();
            }
        }
    });
}

std::optional<PageStart> VOzuvavIdav::FindPage(const PrintPlan& plan, int page,
                                               const std::function<bool(int)>& progress)
{
    pages_.Check(plan.key);
    PageWalker walker = WalkerFor(plan);
    if (pages_.starts.empty() && !pages_.complete) {
        const std::optional<PageStart> first = walker.Begin();
        if (!first) pages_.complete = true;
        else pages_.starts.push_back(*first);
    }
    while (static_cast<int>(pages_.starts.size()) < page && !pages_.complete) {
        const int known = static_cast<int>(pages_.starts.size());
        bool transparent = false;
        const QRect area = PageArea(plan, nullptr, known, transparent);
        walker.SetCapacity(CapacityOf(plan, area));
        const std::optional<PageStart> next =
            walker.Walk(pages_.starts.back(), std::max(1, area.height() / plan.lineHeight), {});
        if (!next) pages_.complete = true;
        else pages_.starts.push_back(*next);
        if (progress && !progress(static_cast<int>(pages_.starts.size()))) return std::nullopt;
    }
    if (page < 1 || page > static_cast<int>(pages_.starts.size())) return std::nullopt;
    return pages_.starts[static_cast<std::size_t>(page - 1)];
}

int VOzuvavIdav::PageCount(QPaintDevice* device, const QRect& rect, const std::function<bool(int)>& progress)
{
    PrintingState state(*this, printing_, external_, true);
    const PrintPlan plan = PlanFor(device, rect, false);
    bool stopped = false;
    FindPage(plan, INT_MAX, [&](int pages) {
        if (progress && !progress(pages)) stopped = true;
        return !stopped;
    });
    if (stopped) return -1;
    return std::max(1, static_cast<int>(pages_.starts.size()));
}

bool VOzuvavIdav::RenderPage(QPainter& painter, const QRect& rect, int page, QPaintDevice* reference)
{
    if (page < 1) return false;
    PrintingState state(*this, printing_, external_, true);
    painter.fillRect(QRect(0, 0, rect.width(), rect.height()), Qt::white);
    const PrintPlan plan = PlanFor(reference ? reference : painter.device(), rect, false);
    const std::optional<PageStart> start = FindPage(plan, page, {});
    if (!start) {
        // An empty text still has its first page, with the header and footer.
        if (page == 1) {
            bool transparent = false;
            PageArea(plan, &painter, page, transparent);
        }
        return false;
    }
    bool transparent = false;
    const QRect area = PageArea(plan, &painter, page, transparent);
    PageWalker walker = WalkerFor(plan);
    const std::optional<PageStart> next = DrawPage(painter, plan, walker, *start, area, transparent);
    // The index learns the next page's start from the drawing too.
    if (next && static_cast<int>(pages_.starts.size()) == page) pages_.starts.push_back(*next);
    if (!next && static_cast<int>(pages_.starts.size()) == page) pages_.complete = true;
    return next.has_value();
}

bool VOzuvavIdav::PrintAll(QPrinter* printer) { return PrintDocument(printer, false); }

bool VOzuvavIdav::PrintSelection(QPrinter* printer) { return PrintDocument(printer, true); }

bool VOzuvavIdav::PrintDocument(QPrinter* printer, bool selection)
{
    if (printing_) return false;
    QPrinter& target = printer ? *printer : CurrentPrinter();
    PrintingState state(*this, printing_, external_, false);
    // Coordinates are the paper's, the corner of the sheet at (0, 0).
    const bool fullPage = target.fullPage();
    target.setFullPage(true);
    target.setDocName(ToQString(control_->Title));
    QPainter painter;
    if (!painter.begin(&target)) {
        target.setFullPage(fullPage);
        return false;
    }
    const QRect paper = target.paperRect(QPrinter::DevicePixel).toRect();
    const QRect rect = printRect_.isEmpty() ? QRect(QPoint(0, 0), paper.size()) : printRect_;
    const PrintPlan plan = PlanFor(&target, rect, selection);
    PageWalker walker = WalkerFor(plan);
    const int from = std::max(1, target.fromPage());
    const int to = target.toPage() > 0 ? target.toPage() : INT_MAX;
    std::optional<PageStart> at = walker.Begin();
    bool done = true;
    bool drawn = false;
    for (int page = 1; page <= to; ++page) {
        const bool draw = page >= from;
        if (draw && drawn) target.newPage();
        bool transparent = false;
        const QRect area = PageArea(plan, draw ? &painter : nullptr, page, transparent);
        std::optional<PageStart> next;
        if (at && draw) {
            next = DrawPage(painter, plan, walker, *at, area, transparent);
        } else if (at) {
            walker.SetCapacity(CapacityOf(plan, area));
            next = walker.Walk(*at, std::max(1, area.height() / plan.lineHeight), {});
        }
        drawn = drawn || draw;
        if (OnPrintProgress && !OnPrintProgress(page)) {
            done = false;
            target.abort();
            break;
        }
        if (!next) break;
        at = next;
    }
    if (painter.isActive()) painter.end();
    target.setFullPage(fullPage);
    return done;
}

}  // namespace tarnwick::ui
